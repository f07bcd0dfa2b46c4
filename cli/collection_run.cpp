#include "cli/collection_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

#include "cli/cli_host.h"
#include "cli/progress.h"
#include "platform/terminal.h"
#include "engine/planned_folder.h"

namespace qn::cli {

namespace {

using Clock = std::chrono::steady_clock;

ItemOutcome execute(std::size_t index, const PlanItem& item, const RunSettings& settings, PlanOutput& output,
                    ItemStream& stream, std::atomic<long>& entries_checked) {
  ItemOutcome outcome;
  outcome.item = item;
  if (item.kind == ItemKind::kProblem) {
    outcome.error_text = error_line(item.folder, item.error_number, item.message, "");
    return outcome;
  }
  // A folder of a walk is taken only while it is still the folder listed; it stays held for its runs.
  std::unique_ptr<platform::HeldFolder> held;
  if (item.walked && !(held = hold_walked_folder(item, outcome.item))) {
    outcome.error_text = error_line(item.folder, outcome.item.error_number, outcome.item.message, "");
    return outcome;
  }
  JobHost host(settings.id3v1, settings.id3v2, settings.prefix_errors ? item.folder : "", entries_checked, stream,
               settings.errors_in_outcome);
  try {
    if (platform::interrupted()) throw RunInterrupted();
    std::unique_ptr<EntrySink> sink = output.sink(index, item, stream);
    outcome.result = verify_folder(item, settings.run, host, sink.get());
    outcome.ran = true;
  } catch (const RunInterrupted&) {
    outcome.interrupted = true;
  } catch (const std::exception& e) {
    // A run catches its own step failures; whatever still escapes makes the folder a problem.
    outcome.item.kind = ItemKind::kProblem;
    outcome.item.error_number = 51;
    outcome.item.message = std::string("The run stopped: ") + e.what();
  }
  outcome.error_text = stream.take_held(ItemStream::Held::kErrors);
  outcome.notice_text = stream.take_held(ItemStream::Held::kNotices);
  if (!outcome.ran && !outcome.interrupted)
    outcome.error_text += error_line(item.folder, outcome.item.error_number, outcome.item.message, "");
  long uncounted = outcome.result.tally.entries - host.progress_calls();
  if (uncounted > 0) entries_checked.fetch_add(uncounted, std::memory_order_relaxed);
  return outcome;
}

// The progress line on standard error; it is wiped before anything else is written there. It is
// redrawn at most every kRedraw, and never reaches the terminal's last column, so it never wraps.
class ProgressLine {
 public:
  static constexpr std::chrono::milliseconds kRedraw{100};

  explicit ProgressLine(bool enabled) : enabled_(enabled), start_(Clock::now()) {}
  ~ProgressLine() { wipe(); }

  void draw(int done, int total, long files) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (drawn_ && now - last_ < kRedraw) return;
    drawn_ = true;
    last_ = now;
    std::chrono::duration<double> elapsed = now - start_;
    std::string text = fit_to_columns(progress_text(done, total, files, elapsed.count()), platform::stderr_columns());
    std::string line = "\r" + text;
    if (text.size() < width_) line += std::string(width_ - text.size(), ' ') + "\r" + text;
    width_ = text.size();
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  }
  void wipe() {
    if (!enabled_ || width_ == 0) return;
    std::fputs(("\r" + std::string(width_, ' ') + "\r").c_str(), stderr);
    std::fflush(stderr);
    width_ = 0;
  }

 private:
  bool enabled_;
  Clock::time_point start_;
  Clock::time_point last_;
  bool drawn_ = false;
  std::size_t width_ = 0;
};

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

// Pieces of streamed text are put together up to this size; the calling thread is woken for them
// from this size on.
constexpr std::size_t kPieceSize = 64u << 10;

}  // namespace

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
  drained_.wait(lock, [&] { return bytes_ <= kMostWaitingText || *stopping_; });
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
  PlanRunner(const std::vector<PlanItem>& plan, const RunSettings& settings, PlanOutput& output)
      : plan_(plan), settings_(settings), output_(output), count_(plan.size()), outcomes_(count_), done_(count_, 0) {
    for (std::size_t i = 0; i < count_; ++i) {
      streams_.push_back(std::make_unique<ItemStream>());
      streams_.back()->mutex_ = &mutex_;
      streams_.back()->waiting_ = &changed_;
      streams_.back()->stopping_ = &stopping_;
    }
  }

  void run();

 private:
  void work();
  // Passes on what item `index` streamed so far; called and returns with `lock` held.
  void pass_on_stream(std::size_t index, std::unique_lock<std::mutex>& lock);

  const std::vector<PlanItem>& plan_;
  const RunSettings& settings_;
  PlanOutput& output_;
  const std::size_t count_;
  std::vector<std::unique_ptr<ItemStream>> streams_;
  std::vector<ItemOutcome> outcomes_;
  std::vector<char> done_;
  std::size_t next_ = 0;     // the next item a worker takes
  std::size_t emitted_ = 0;  // items passed on
  std::size_t ahead_ = 1;    // how far past emitted_ a worker may take an item
  int folders_done_ = 0;
  std::vector<int> folder_of_;
  std::vector<int> items_left_;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;  // an item is done, or has text to pass on
  std::condition_variable room_;     // an item was passed on
  std::atomic<long> entries_checked_{0};
  ProgressLine* progress_ = nullptr;
  bool reports_on_terminal_ = false;
};

void PlanRunner::work() {
  for (;;) {
    std::size_t i;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [&] { return stopping_ || next_ >= count_ || next_ < emitted_ + ahead_; });
      // After Ctrl-C no run is begun; those under way stop at their next entry.
      if (stopping_ || next_ >= count_ || platform::interrupted()) return;
      i = next_++;
    }
    ItemOutcome outcome = execute(i, plan_[i], settings_, output_, *streams_[i], entries_checked_);
    std::lock_guard<std::mutex> lock(mutex_);
    outcomes_[i] = std::move(outcome);
    done_[i] = 1;
    if (--items_left_[static_cast<std::size_t>(folder_of_[i])] == 0) ++folders_done_;
    changed_.notify_all();
  }
}

void PlanRunner::pass_on_stream(std::size_t index, std::unique_lock<std::mutex>& lock) {
  ItemStream& stream = *streams_[index];
  while (!stream.pieces_.empty()) {
    std::deque<ItemStream::Piece> pieces;
    pieces.swap(stream.pieces_);
    stream.bytes_ = 0;
    stream.drained_.notify_all();
    lock.unlock();
    for (const ItemStream::Piece& piece : pieces) {
      // The progress line is wiped before anything is written to its terminal.
      if (piece.to_stderr || reports_on_terminal_) progress_->wipe();
      output_.write(index, piece.to_stderr, piece.text);
    }
    lock.lock();
  }
}

void PlanRunner::run() {
  int folder_total = 0;
  folder_of_ = folder_numbers(plan_, folder_total);
  items_left_.assign(static_cast<std::size_t>(folder_total), 0);
  for (int f : folder_of_) ++items_left_[static_cast<std::size_t>(f)];
  const std::size_t jobs = static_cast<std::size_t>(std::clamp(settings_.jobs, 1, kMostJobs));
  // Finished items wait for their turn with their reports: a slow early folder holds back at most
  // this many.
  ahead_ = 2 * jobs;
  const std::size_t threads = std::min(jobs, count_);
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < threads; ++t) pool.emplace_back([this] { work(); });

  ProgressLine progress(settings_.show_progress);
  progress_ = &progress;
  reports_on_terminal_ = settings_.show_progress && platform::stdout_is_terminal();
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
    progress.draw(0, folder_total, 0);
    while (emitted_ < count_) {
      // Items never begun are left out once Ctrl-C was pressed; those begun are still awaited.
      if (platform::interrupted() && emitted_ >= next_) break;
      changed_.wait_for(lock, ProgressLine::kRedraw, [&] {
        return done_[emitted_] != 0 || streams_[emitted_]->bytes_ >= kPieceSize;
      });
      pass_on_stream(emitted_, lock);
      while (emitted_ < count_ && done_[emitted_]) {
        const std::size_t index = emitted_;
        pass_on_stream(index, lock);
        ItemOutcome outcome = std::move(outcomes_[index]);
        lock.unlock();
        if (reports_on_terminal_ || !outcome.error_text.empty() || !outcome.notice_text.empty()) progress.wipe();
        output_.take(index, outcome);
        lock.lock();
        ++emitted_;
        room_.notify_all();
      }
      int folders = folders_done_;
      lock.unlock();
      if (emitted_ < count_) progress.draw(folders, folder_total, entries_checked_.load());
      lock.lock();
    }
  } catch (...) {
    stop();
    throw;
  }
  progress.wipe();
  stop();
}

void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings, PlanOutput& output) {
  PlanRunner(plan, settings, output).run();
}

}  // namespace qn::cli
