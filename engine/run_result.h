#pragma once
// What one verification run found, entry by entry, beside the report text itself. The front ends
// derive exit status, summaries and machine-readable output from it.
#include <string>
#include <vector>

namespace qn {

enum class FolderKind { kNone, kMp3, kFlac, kLabels };

enum class EntryStatus {
  kOk,                  // every verdict " OK"
  kFail,                // some verdict " FAIL ..." or an ID3 check " ... Fails"
  kMissing,             // " MISSING" / " <<<  MISSING"
  kPlaceholderCreated,  // " OK Placeholder"
  kNoVerdict,           // the entry's line carries no verdict (a failed step, a code outside the table)
};

struct EntryResult {
  std::string line;           // the checksum line as used (after the sub-folder rewrite)
  std::string expected;       // the file name the line names, without its fingerprint
  std::string track_key;      // empty when it could not be formed
  std::string found_path;     // empty when not found
  std::string channel_label;  // FLAC folders: " mono " / " stereo "
  std::vector<std::string> verdicts;  // verdict texts without the ID3 suffix
  std::string id3_suffix;     // " ID3v1 OK ID3v2 Fails", " Placeholder", or empty
  std::string note;           // the sheet-music note
  std::string report_line;    // the entry's line of the report body, without CR LF
  EntryStatus status = EntryStatus::kNoVerdict;
  bool step_failed = false;   // some step of this entry raised an error
};

struct StepErrorRecord {
  int number = 0;
  std::string description;
  std::string context;
};

struct RunResult {
  FolderKind kind = FolderKind::kNone;
  std::string folder;          // ends in the separator
  std::string checksum_file;   // the checksum file used (empty when none)
  int file_count = 0;          // files found on disk (the report's "Number of Files")
  std::vector<EntryResult> entries;
  std::vector<std::string> additional_files;  // file names, in list order
  std::vector<StepErrorRecord> errors;
  std::string report_text;     // byte for byte the report file's content
  bool nothing_verified = false;  // no checksum file, no audio/image files found
};

}  // namespace qn
