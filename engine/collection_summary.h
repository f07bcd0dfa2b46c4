#pragma once
// The summary of a collection run: counts per run and in total, the summary table, and the exit
// status of the whole run.
#include <string>
#include <vector>

#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn {

struct RunCounts {
  long entries = 0;
  long ok = 0;       // " OK" entries, placeholders present or created included
  long fail = 0;     // failed entries, and entries without a verdict
  long tags_only = 0;  // of `fail`: the audio verified OK, only a tag check failed
  long missing = 0;
  long additional = 0;
  long errors = 0;   // failed steps, plus one when nothing could be verified

  RunCounts& operator+=(const RunCounts& other);
  // The failures that are more than a tag change: of the audio, or without a verdict.
  long audio_fail() const { return fail - tags_only; }
};

// "7 FAIL (2 audio, 5 tags only)"; "7 FAIL" when no failure is a tag change alone.
std::string fail_text(const RunCounts& counts);

// "mp3", "flac", "labels", or "none" (no audio files found).
const char* kind_name(FolderKind kind);

RunCounts counts_of(const RunResult& result);

class Summary {
 public:
  void add_run(const RunResult& result);
  void add_problem(const PlanItem& problem);

  // The table, CR LF line ends: a head, one row per run or problem, and the total row; below it,
  // when some failures are tag changes alone, the split of the total FAIL.
  std::string text() const;
  const RunCounts& totals() const { return totals_; }
  int folder_count() const;

  // The exit flags of every run combined; a folder that could not be verified (several checksum
  // files, unreadable, no audio files) adds "a step failed"; 66 when nothing at all was verified.
  int exit_status() const;

 private:
  struct Row {
    std::string folder;
    std::string kind;
    RunCounts counts;
  };
  std::vector<Row> rows_;
  RunCounts totals_;
  int status_ = 0;
  bool verified_any_ = false;
};

}  // namespace qn
