#pragma once
// Carrying out a plan: the runs of the plan's folders, several at once, each run on one thread of
// its own with its own host. Results are handed back in plan order, whatever the number of jobs.
#include <functional>
#include <string>
#include <vector>

#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn {
class ReadAheadPool;
}

namespace qn::cli {

struct RunSettings {
  bool id3v1 = true;
  bool id3v2 = true;
  bool create_nfo = false;
  int jobs = 1;                // runs at the same time (at least 1)
  bool prefix_errors = false;  // start every error line with its folder
  bool show_progress = false;  // draw the progress line on standard error
  // The reader threads shared by all runs (reads in flight stay within its depth), or none.
  ReadAheadPool* read_ahead = nullptr;
};

struct ItemOutcome {
  PlanItem item;
  bool ran = false;        // false for problems (and runs that could not be made)
  RunResult result;        // when ran
  std::string error_text;  // whole lines for standard error
};

// The default number of jobs: the processors, at most 4, at least 1.
int default_jobs();

// Runs every item of the plan and calls `emit` with each outcome in plan order, on the calling
// thread, as soon as the item and every item before it are done.
void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings,
              const std::function<void(ItemOutcome&)>& emit);

}  // namespace qn::cli
