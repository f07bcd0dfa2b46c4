#include "engine/collection_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "engine/planned_folder.h"
#include "engine/verify.h"
#include "platform/file_access.h"

namespace qn {

namespace {

using Clock = std::chrono::steady_clock;

// How often the calling thread looks up from waiting to show progress.
constexpr std::chrono::milliseconds kProgressInterval{100};

// Pieces of streamed text are put together up to this size; the calling thread is woken for them
// from this size on.
constexpr std::size_t kPieceSize = 64u << 10;

// For each item, the index of its folder among the plan's folders (items of a folder are adjacent).
std::vector<int> folder_numbers(const std::vector<PlanItem>& plan, int& folder_count) {
  std::vector<int> numbers;
  folder_count = 0;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (i == 0 || plan[i].folder != plan[i - 1].folder) ++folder_count;
    numbers.push_back(folder_count - 1);
  }
  return numbers;
}

}  // namespace

std::string clock_text(double seconds) {
  long total = seconds > 0 ? static_cast<long>(std::lround(seconds)) : 0;
  long hours = total / 3600, minutes = total / 60 % 60, secs = total % 60;
  char buffer[32];
  if (hours > 0) std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", hours, minutes, secs);
  else std::snprintf(buffer, sizeof buffer, "%ld:%02ld", minutes, secs);
  return buffer;
}

std::string time_left_text(int folders_done, int folders_total, double elapsed_seconds) {
  if (folders_done <= 0 || folders_done >= folders_total) return "";
  return "about " + clock_text(elapsed_seconds * (folders_total - folders_done) / folders_done) + " left";
}

void ItemStream::put(bool to_stderr, std::string text) {
  if (text.empty()) return;
  std::unique_lock<std::mutex> lock(*mutex_);
  const std::size_t before = bytes_;
  bytes_ += text.size();
  if (!pieces_.empty() && pieces_.back().to_stderr == to_stderr && pieces_.back().text.size() < kPieceSize)
    pieces_.back().text += text;
  else
    pieces_.push_back({to_stderr, std::move(text)});
  if (before < kPieceSize && bytes_ >= kPieceSize) waiting_->notify_all();
  drained_.wait(lock, [&] { return !waits_ || bytes_ <= kMostWaitingText || *stopping_; });
}

void ItemStream::hold(Held which, std::string line) {
  if (spilled_) return err(std::move(line));
  held_[static_cast<int>(which)] += line;
  if (++held_lines_ <= kKeptErrors) return;
  spilled_ = true;
  std::string text = take_held(Held::kErrors) + take_held(Held::kNotices);
  err(std::move(text));
}

std::string ItemStream::take_held(Held which) {
  std::string text = std::move(held_[static_cast<int>(which)]);
  held_[static_cast<int>(which)].clear();
  return text;
}

// The threads of one plan and what they share.
class PlanRunner {
 public:
  PlanRunner(const std::vector<PlanItem>& plan, int jobs, PlanFront& front, Summary& summary)
      : plan_(plan), jobs_(jobs), front_(front), summary_(summary), count_(plan.size()), outcomes_(count_),
        done_(count_, 0) {
    for (std::size_t i = 0; i < count_; ++i) {
      streams_.push_back(std::make_unique<ItemStream>());
      streams_.back()->mutex_ = &mutex_;
      streams_.back()->waiting_ = &changed_;
      streams_.back()->stopping_ = &stopping_;
      streams_.back()->waits_ = jobs != kOnCallingThread;
    }
  }

  std::size_t run();

 private:
  ItemOutcome execute(std::size_t index);
  void work();
  // Runs the next item on the calling thread; called and returns with `lock` held.
  void run_here(std::unique_lock<std::mutex>& lock);
  void finished(std::size_t index, ItemOutcome outcome);
  // Passes on what item `index` streamed so far; called and returns with `lock` held.
  void pass_on_stream(std::size_t index, std::unique_lock<std::mutex>& lock);
  // Passes on every item done whose turn it is; called and returns with `lock` held.
  void pass_on_done(std::unique_lock<std::mutex>& lock);
  void show_progress(std::unique_lock<std::mutex>& lock, bool first = false);

  const std::vector<PlanItem>& plan_;
  const int jobs_;
  PlanFront& front_;
  Summary& summary_;
  const std::size_t count_;
  std::vector<std::unique_ptr<ItemStream>> streams_;
  std::vector<ItemOutcome> outcomes_;
  std::vector<char> done_;
  std::size_t next_ = 0;     // the next item a worker takes
  std::size_t emitted_ = 0;  // items passed on
  std::size_t ahead_ = 1;    // how far past emitted_ a worker may take an item
  int folders_done_ = 0;
  int folder_total_ = 0;
  std::vector<int> folder_of_;
  std::vector<int> items_left_;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;  // an item is done, or has text to pass on
  std::condition_variable room_;     // an item was passed on
  Clock::time_point start_ = Clock::now();
};

ItemOutcome PlanRunner::execute(std::size_t index) {
  const PlanItem& item = plan_[index];
  ItemStream& stream = *streams_[index];
  ItemOutcome outcome;
  outcome.item = item;
  // A folder of a walk is taken only while it is still the folder listed; it stays held for its run.
  std::unique_ptr<platform::HeldFolder> held;
  if (item.kind == ItemKind::kProblem || (item.walked && !(held = hold_walked_folder(item, outcome.item)))) {
    front_.finish(index, nullptr, stream, outcome);
    return outcome;
  }
  std::unique_ptr<RunHost> host = front_.host(index, item, stream);
  try {
    if (front_.stop_requested()) throw RunInterrupted();
    std::unique_ptr<EntrySink> sink = front_.sink(index, item, stream);
    // The one place where a planned folder is verified.
    outcome.result = verify_folder(item, front_.run_options(), *host, sink.get());
    outcome.ran = true;
  } catch (const RunInterrupted&) {
    outcome.interrupted = true;
  } catch (const std::exception& e) {
    // A run catches its own step failures; whatever still escapes makes the folder a problem.
    outcome.item.kind = ItemKind::kProblem;
    outcome.item.error_number = 51;
    outcome.item.message = std::string("The run stopped: ") + e.what();
  }
  front_.finish(index, host.get(), stream, outcome);
  return outcome;
}

void PlanRunner::finished(std::size_t index, ItemOutcome outcome) {
  outcomes_[index] = std::move(outcome);
  done_[index] = 1;
  if (--items_left_[static_cast<std::size_t>(folder_of_[index])] == 0) ++folders_done_;
  changed_.notify_all();
}

void PlanRunner::work() {
  for (;;) {
    std::size_t i;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [&] { return stopping_ || next_ >= count_ || next_ < emitted_ + ahead_; });
      // Once asked to stop no run is begun; those under way stop at their next entry.
      if (stopping_ || next_ >= count_ || front_.stop_requested()) return;
      i = next_++;
    }
    ItemOutcome outcome = execute(i);
    std::lock_guard<std::mutex> lock(mutex_);
    finished(i, std::move(outcome));
  }
}

void PlanRunner::run_here(std::unique_lock<std::mutex>& lock) {
  const std::size_t i = next_++;
  lock.unlock();
  ItemOutcome outcome = execute(i);
  lock.lock();
  finished(i, std::move(outcome));
}

void PlanRunner::pass_on_stream(std::size_t index, std::unique_lock<std::mutex>& lock) {
  ItemStream& stream = *streams_[index];
  while (!stream.pieces_.empty()) {
    std::deque<ItemStream::Piece> pieces;
    pieces.swap(stream.pieces_);
    stream.bytes_ = 0;
    stream.drained_.notify_all();
    lock.unlock();
    for (const ItemStream::Piece& piece : pieces) front_.write(index, piece.to_stderr, piece.text);
    lock.lock();
  }
}

void PlanRunner::pass_on_done(std::unique_lock<std::mutex>& lock) {
  while (emitted_ < count_ && done_[emitted_]) {
    const std::size_t index = emitted_;
    pass_on_stream(index, lock);
    ItemOutcome outcome = std::move(outcomes_[index]);
    lock.unlock();
    if (outcome.ran) summary_.add_run(outcome.result);
    else if (!outcome.interrupted) summary_.add_problem(outcome.item);
    front_.take(index, outcome);
    lock.lock();
    ++emitted_;
    room_.notify_all();
  }
}

void PlanRunner::show_progress(std::unique_lock<std::mutex>& lock, bool first) {
  // The first showing is of the start, however far the first runs have come meanwhile.
  const int folders = first ? 0 : folders_done_;
  lock.unlock();
  std::chrono::duration<double> elapsed = Clock::now() - start_;
  front_.progress(folders, folder_total_, elapsed.count());
  lock.lock();
}

std::size_t PlanRunner::run() {
  folder_of_ = folder_numbers(plan_, folder_total_);
  items_left_.assign(static_cast<std::size_t>(folder_total_), 0);
  for (int f : folder_of_) ++items_left_[static_cast<std::size_t>(f)];
  const bool here = jobs_ == kOnCallingThread;
  const std::size_t jobs = static_cast<std::size_t>(std::max(jobs_, 1));
  // Finished items wait for their turn with their reports: a slow early folder holds back at most
  // this many.
  ahead_ = 2 * jobs;
  const std::size_t threads = here ? 0 : std::min(jobs, count_);
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < threads; ++t) pool.emplace_back([this] { work(); });

  auto stop = [&] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;  // the workers finish the runs they are in and stop
    }
    room_.notify_all();
    for (auto& stream : streams_) stream->drained_.notify_all();
    for (std::thread& thread : pool) thread.join();
  };
  try {
    std::unique_lock<std::mutex> lock(mutex_);
    show_progress(lock, true);
    while (emitted_ < count_) {
      // Items never begun are left out once a stop was asked for; those begun are still awaited.
      if (front_.stop_requested() && emitted_ >= next_) break;
      if (here) {
        run_here(lock);
      } else {
        changed_.wait_for(lock, kProgressInterval, [&] {
          return done_[emitted_] != 0 || streams_[emitted_]->bytes_ >= kPieceSize;
        });
      }
      pass_on_stream(emitted_, lock);
      pass_on_done(lock);
      if (emitted_ < count_) show_progress(lock);
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
  return emitted_;
}

std::size_t run_plan(const std::vector<PlanItem>& plan, int jobs, PlanFront& front, Summary& summary) {
  return PlanRunner(plan, jobs, front, summary).run();
}

}  // namespace qn
