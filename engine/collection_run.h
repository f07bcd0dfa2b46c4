#pragma once
// The loop of a collection run, for every front end: the runs of a plan's folders, each with a
// host of its own, added to the summary and passed on in plan order, whatever the number of jobs:
// the text a run streams while it goes on (its entries), then its outcome. What differs between
// front ends (their hosts, their output, their progress, when to stop) comes in through a PlanFront.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/host.h"
#include "engine/run_options.h"
#include "engine/run_result.h"

namespace qn {

// Thrown out of a run (by its host, at its next entry) once the front end asked to stop.
struct RunInterrupted : std::exception {
  const char* what() const noexcept override { return "interrupted"; }
};

struct ItemOutcome {
  PlanItem item;
  bool ran = false;          // false for problems (and runs that could not be made)
  bool interrupted = false;  // the run was stopped: it has no outcome to show
  RunResult result;          // when ran
  std::string error_text;    // the front end's: whole lines for the run's first errors
  std::string notice_text;   // the front end's: whole lines after the errors (placeholders made)
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
  bool waits_ = true;  // false when the run is on the calling thread: nobody else passes text on
  std::condition_variable drained_;
  std::deque<Piece> pieces_;
  std::size_t bytes_ = 0;
  std::string held_[2];
  std::size_t held_lines_ = 0;
  bool spilled_ = false;
};

// What a front end gives a plan's runs, and what it is given.
class PlanFront {
 public:
  virtual ~PlanFront() = default;
  // From any thread of the plan: no run is begun once true; those under way stop when their host
  // throws RunInterrupted.
  virtual bool stop_requested() { return false; }
  // On the calling thread: once at the start (no folder done), then while waiting and after each
  // item passed on but the last.
  virtual void progress(int /*folders_done*/, int /*folders_total*/, double /*elapsed_seconds*/) {}

  // On the item's own thread, before its run: the host the run talks to, whether it creates the
  // missing placeholders, and where its entries go (none by default).
  virtual std::unique_ptr<RunHost> host(std::size_t index, const PlanItem& item, ItemStream& stream) = 0;
  // The run's options, asked for each item: the window reads its placeholder box at each folder.
  virtual RunOptions run_options() = 0;
  virtual std::unique_ptr<EntrySink> sink(std::size_t, const PlanItem&, ItemStream&) { return nullptr; }
  // On the item's own thread, after its run (`host` is null for a folder that was a problem before
  // any run): the front end completes the outcome.
  virtual void finish(std::size_t /*index*/, RunHost* /*host*/, ItemStream& /*stream*/, ItemOutcome& /*outcome*/) {}

  // On the calling thread, in plan order: the pieces the item's run streamed, then its outcome
  // (already added to the summary).
  virtual void write(std::size_t /*index*/, bool /*to_stderr*/, const std::string& /*text*/) {}
  virtual void take(std::size_t index, ItemOutcome& outcome) = 0;
};

// Runs on the calling thread, one after the other, instead of on threads of their own.
inline constexpr int kOnCallingThread = 0;

// Runs every item of the plan (once `front` asks to stop, only those begun), `jobs` at a time,
// at most 2 × jobs items ahead of the one being passed on, and passes each on to `front` as
// described there, on the calling thread, as soon as the item and every item before it are done.
// A run's outcome is added to `summary` (interrupted runs are not); an exception out of a run
// makes its folder a problem. Returns the number of items passed on.
std::size_t run_plan(const std::vector<PlanItem>& plan, int jobs, PlanFront& front, Summary& summary);

// Minutes and seconds ("0:07", "12:30"), or hours too ("1:02:03").
std::string clock_text(double seconds);
// "about 2:00 left" at the pace so far, once a folder is done and while some are left; else empty.
std::string time_left_text(int folders_done, int folders_total, double elapsed_seconds);

}  // namespace qn
