#pragma once
// Carrying out a plan: the runs of the plan's folders, several at once, each run on one thread of
// its own with its own host. What the runs give is passed on in plan order, whatever the number of
// jobs: the text a run streams while it goes on (its entries), then its outcome.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn {
namespace platform {
class ReadAheadPool;
}
class JobPool;
}

namespace qn::cli {

// Most jobs: each holds a checksum file and a report of its own.
inline constexpr int kMostJobs = 64;

struct RunSettings {
  bool id3v1 = true;
  bool id3v2 = true;
  bool create_nfo = false;
  int jobs = 1;                // runs at the same time (1 to kMostJobs)
  bool prefix_errors = false;  // start every error line with its folder
  bool show_progress = false;  // draw the progress line on standard error
  // Error lines beyond the first kKeptErrors of a run go to standard error as they come; the first
  // ones are left to the outcome (error_text) unless the run's errors are shown otherwise.
  bool errors_in_outcome = true;
  // The reader threads shared by all runs (reads in flight stay within its depth), or none.
  platform::ReadAheadPool* read_ahead = nullptr;
  bool deep = false;   // the deep check of every found track
  bool hints = false;  // plain words after each FAIL (always with `deep`)
  // The workers of the checks made ahead of the runs' loops, shared by all runs, or none.
  JobPool* job_pool = nullptr;
};

struct ItemOutcome {
  PlanItem item;
  bool ran = false;        // false for problems (and runs that could not be made)
  bool interrupted = false;  // the run was stopped by Ctrl-C: it has no outcome to show
  RunResult result;        // when ran
  std::string error_text;  // whole lines for standard error: the run's first errors
  std::string notice_text; // whole lines for standard error after the errors (placeholders made)
};

// The text one item's run gives while it goes on. Text of the item whose turn it is is passed on
// at once; an item ahead of its turn keeps it, and its run waits while it keeps more than
// kMostWaitingText. Lines held for the end of the item (errors, notices) stay held up to
// kKeptErrors lines; past that they and every later one are streamed, errors first.
class ItemStream {
 public:
  static constexpr std::size_t kMostWaitingText = 4u << 20;
  enum class Held { kErrors, kNotices };

  void out(std::string text) { put(false, std::move(text)); }
  void err(std::string text) { put(true, std::move(text)); }
  void hold(Held which, std::string line);
  // The held lines of one kind, taken (on the run's own thread, at its end).
  std::string take_held(Held which);

 private:
  friend class PlanRunner;
  struct Piece {
    bool to_stderr;
    std::string text;
  };
  void put(bool to_stderr, std::string text);

  std::mutex* mutex_ = nullptr;
  std::condition_variable* waiting_ = nullptr;  // the calling thread waits for text
  const bool* stopping_ = nullptr;
  std::condition_variable drained_;
  std::deque<Piece> pieces_;
  std::size_t bytes_ = 0;
  std::string held_[2];
  std::size_t held_lines_ = 0;
  bool spilled_ = false;
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

// Runs every item of the plan (after Ctrl-C, see platform::catch_interrupt, only those begun), at most 2 × jobs items ahead of the one being passed on, and passes
// each on to `output` as described there, on the calling thread, as soon as the item and every
// item before it are done.
void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings, PlanOutput& output);

}  // namespace qn::cli
