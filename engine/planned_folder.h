#pragma once
// Which run a folder gets: its checksum file and the kind of run (audio or labels). Every front
// end asks here, and starts the run of a planned folder through verify_folder.
#include <string>

#include "base/file_list.h"
#include "engine/host.h"
#include "engine/run_options.h"
#include "engine/run_result.h"

namespace qn {

// A checksum file whose name holds "Labels.qn" (in that letter case) is a label checksum file.
bool is_label_checksum_name(const std::string& file_name);
// The search pattern of a folder's own label checksum file.
inline constexpr const char* kLabelChecksumPattern = "*Labels.qn";

enum class ItemKind { kAudio, kLabels, kProblem };

// One run to make: the folder (ending in the separator), its checksum file and its kind (kAudio
// or kLabels). A label run with no checksum file takes the folder's single label checksum file.
struct PlannedFolder {
  ItemKind kind = ItemKind::kAudio;
  std::string folder;
  std::string checksum_file;
};

// The checksum file of a folder: chosen, none there, or several to choose from.
enum class ChecksumChoice { kChosen, kNone, kSeveral };
struct FolderChoice {
  ChecksumChoice choice = ChecksumChoice::kNone;
  PlannedFolder planned;  // when chosen
  FileList found = empty_file_list();  // the checksum files searched for, when the folder was searched
};

// The run of `folder` (ending in the separator). `chosen` is a checksum file the user named (or
// empty). With `images` it is a label run: against `chosen`, else against the folder's single
// label checksum file (several are to be chosen from; none is for the run to tell). Otherwise the
// folder's single checksum file is taken when none was named, and its name gives the kind.
FolderChoice choose_checksum_file(const std::string& folder, const std::string& chosen, bool images);

// The audio or the label run of `planned`, as its kind says.
RunResult verify_folder(const PlannedFolder& planned, const RunOptions& options, RunHost& host,
                        EntrySink* sink = nullptr);

}  // namespace qn
