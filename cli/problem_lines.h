#pragma once
// The problems-only output of qnverify (`-q`): one line per thing that needs attention, status
// first, then the file's path as the user named it, then the details; and the closing tally.
#include <string>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn::cli {

// How absolute paths below a PATH of the command line are shown: relative to the PATH's folder
// `root` (absolute, ending in the separator), after `shown_prefix` (the PATH as given, when the
// command line names several). Paths elsewhere are shown whole.
struct PathDisplay {
  std::string root;
  std::string shown_prefix;

  std::string show(const std::string& absolute) const;
};

// "FAIL     Top 6/u1964_003 - A - T.mp3  (255 bytes following Start of Audio) ID3v1 OK ID3v2 OK"
// and its kin (MISSING, NO-VERDICT, ID3-FAIL) for an entry of the run over `folder`, ending in
// "\n"; nothing for an entry that is OK.
std::string problem_line(const EntryResult& entry, const std::string& folder, const PathDisplay& display);
// The lines that follow a run's entry lines: EXTRA files, then ERROR lines.
std::string problem_lines(const RunResult& result, const PathDisplay& display);
std::string problem_lines(const PlanItem& problem, const PathDisplay& display);

// "qnverify: 8 entries in 2 folders: 5 OK, 1 FAIL, 2 MISSING, 1 additional, 0 errors\n"; a FAIL
// count that holds tag-only failures is split: "3 FAIL (1 audio, 2 tags only)".
std::string tally_line(const Summary& summary);

}  // namespace qn::cli
