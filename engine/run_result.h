#pragma once
// What one verification run found, beside the report text itself. The entries are not kept: each
// is handed to the run's sink as it is finished, and the run keeps only their tally, so that a run
// costs no more memory than its checksum file and its report, however many entries it has. The
// front ends derive exit status, summaries and machine-readable output from the tally and the sink.
#include <cstddef>
#include <cstdint>
#include <optional>
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

// What the deep check found in an entry's track (made only when asked for).
struct EntryContent {
  std::string status;  // "ok", "fail", "unchecked", "unsupported", "unreadable"
  std::string method;  // what proved it, or which check failed
  std::string detail;  // plain words: what failed and where, or what was seen
  std::int64_t offset = -1;  // byte offset of the failure; -1 for none
  std::int64_t frame = -1;   // frame of the failure, from 1; -1 for none
  std::string text;    // what ends the entry's report line: " content FAIL (...)"
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
  std::string report_line;    // the entry's line of the report body, without the note and CR LF
  std::optional<EntryContent> content;  // the deep check of a found track, when asked for
  std::string hint;           // plain words after a FAIL, when asked for
  EntryStatus status = EntryStatus::kNoVerdict;
  bool step_failed = false;   // some step of this entry raised an error
};

struct StepErrorRecord {
  int number = 0;
  std::string description;
  std::string context;
};

// A failed entry whose audio verdicts are all OK and whose only failure is an ID3 check: the tags
// were changed (a retag), the audio was not. Content damage found by the deep check is no tag change.
bool tags_only_failure(const EntryResult& entry);

// The entries of a run counted by status.
struct EntryTally {
  long entries = 0;
  long ok = 0;
  long placeholders_created = 0;
  long fail = 0;
  long tags_only = 0;  // of `fail`: the tag-only failures
  long no_verdict = 0;
  long missing = 0;

  void add(EntryStatus status);
  void add(const EntryResult& entry);
};

inline void EntryTally::add(const EntryResult& entry) {
  add(entry.status);
  if (tags_only_failure(entry)) ++tags_only;
}

inline void EntryTally::add(EntryStatus status) {
  ++entries;
  switch (status) {
    case EntryStatus::kOk: ++ok; break;
    case EntryStatus::kPlaceholderCreated: ++placeholders_created; break;
    case EntryStatus::kFail: ++fail; break;
    case EntryStatus::kNoVerdict: ++no_verdict; break;
    case EntryStatus::kMissing: ++missing; break;
  }
}

struct RunResult;

// Where a run hands its entries, in checksum-file order, each as soon as it is finished. The entry
// is gone once the call returns.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // Once, before the first entry, with what the run knows by then (folder, kind, checksum file,
  // file count, nothing_verified); not called for a run without entries.
  virtual void begin(const RunResult&) {}
  virtual void entry(const EntryResult& entry) = 0;
};

// Failed steps kept in full per run; the rest are counted (each was shown through the host).
inline constexpr std::size_t kKeptErrors = 1000;

struct RunResult {
  FolderKind kind = FolderKind::kNone;
  std::string folder;          // ends in the separator
  std::string checksum_file;   // the checksum file used (empty when none)
  int file_count = 0;          // files found on disk (the report's "Number of Files")
  EntryTally tally;
  std::vector<std::string> additional_files;  // file names, in list order
  std::vector<StepErrorRecord> errors;        // the first kKeptErrors failed steps
  long error_count = 0;                        // every failed step
  std::string report_text;     // byte for byte the report file's content
  bool nothing_verified = false;  // no checksum file, no audio/image files found
};

}  // namespace qn
