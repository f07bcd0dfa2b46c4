#pragma once
// Carrying out a plan on the command line: the engine's collection loop with several runs at once,
// each on one thread of its own with a host of its own, error lines for standard error, and the
// progress line.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/collection_run.h"
#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/run_options.h"
#include "engine/run_result.h"

namespace qn::cli {

// Most jobs: each holds a checksum file and a report of its own.
inline constexpr int kMostJobs = 64;

struct RunSettings {
  bool id3v1 = true;
  bool id3v2 = true;
  // What every run is given: the placeholders, the reader threads (reads in flight stay within
  // their depth) and the checking workers shared by all runs, the deep check and the hints.
  RunOptions run;
  int jobs = 1;                // runs at the same time (1 to kMostJobs)
  bool prefix_errors = false;  // start every error line with its folder
  bool show_progress = false;  // draw the progress line on standard error
  // Error lines beyond the first kKeptErrors of a run go to standard error as they come; the first
  // ones are left to the outcome (error_text) unless the run's errors are shown otherwise.
  bool errors_in_outcome = true;
};

// What a plan's runs are given to.
class PlanOutput {
 public:
  virtual ~PlanOutput() = default;
  // On the item's own thread, before its run: where the run's entries go (none by default).
  virtual std::unique_ptr<EntrySink> sink(std::size_t, const PlanItem&, ItemStream&) { return nullptr; }
  // On the calling thread, in plan order: the pieces the item's run streamed, then its outcome.
  virtual void write(std::size_t index, bool to_stderr, const std::string& text) = 0;
  virtual void take(std::size_t index, ItemOutcome& outcome) = 0;
};

// The default number of jobs: the processors, at most 4, at least 1.
int default_jobs();

// Runs every item of the plan with the engine's loop (after Ctrl-C, see platform::catch_interrupt,
// only those begun), `settings.jobs` at a time, adds each outcome to `summary` and passes it on to
// `output` as described there, on the calling thread, in plan order.
void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings, PlanOutput& output, Summary& summary);

}  // namespace qn::cli
