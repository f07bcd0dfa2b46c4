#pragma once
// Checksum lines for a folder of one's own: one line for every file the run looks up, written so
// that the run finds that very file by its exact name and checks it OK.
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/run_result.h"

namespace qn {

struct CreateSettings {
  bool six_values = true;  // MP3 lines with the end of audio
  bool labels = false;     // label lines for the "u*.jpg" images instead of the audio files
};

struct CreatedChecksums {
  FolderKind kind = FolderKind::kNone;
  std::vector<std::string> lines;  // without line ends, in byte order of the names
  // Files of the folder itself that the run never looks at (full paths, in byte order).
  std::vector<std::string> not_listed;
  // Files the run looks up that no line could be written for, one error each naming the file.
  std::vector<StepErrorRecord> errors;
  bool nothing_found = false;  // no audio (or image) file that the run would look up
};

// The lines for `folder` (ending in the separator). Every file that gets no line is reported
// through the host's ShowError and kept in `errors`.
CreatedChecksums create_checksum_lines(const std::string& folder, const CreateSettings& settings, RunHost& host);

// The lines as a checksum file holds them: each ends with CR LF.
std::string checksum_file_text(const std::vector<std::string>& lines);

}  // namespace qn
