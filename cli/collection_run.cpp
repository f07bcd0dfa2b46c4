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
#include "engine/verify.h"

namespace qn::cli {

namespace {

using Clock = std::chrono::steady_clock;

ItemOutcome execute(const PlanItem& item, const RunSettings& settings, std::atomic<long>& entries_checked) {
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
  JobHost host(settings.id3v1, settings.id3v2, settings.read_ahead, settings.prefix_errors ? item.folder : "", entries_checked);
  try {
    outcome.result = item.kind == ItemKind::kAudio
                         ? VerifyAudioFolder(item.folder, item.checksum_file, settings.create_nfo, host)
                         : VerifyLabelFolder(item.folder, host, item.checksum_file);
    outcome.ran = true;
  } catch (const std::exception& e) {
    // A run catches its own step failures; whatever still escapes makes the folder a problem.
    outcome.item.kind = ItemKind::kProblem;
    outcome.item.error_number = 51;
    outcome.item.message = std::string("The run stopped: ") + e.what();
  }
  outcome.error_text = host.error_text();
  if (!outcome.ran)
    outcome.error_text += error_line(item.folder, outcome.item.error_number, outcome.item.message, "");
  long uncounted = static_cast<long>(outcome.result.entries.size()) - host.progress_calls();
  if (uncounted > 0) entries_checked.fetch_add(uncounted, std::memory_order_relaxed);
  return outcome;
}

// The progress line on standard error; it is wiped before anything else is written there.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled), start_(Clock::now()) {}

  void draw(int done, int total, long files) {
    if (!enabled_) return;
    std::chrono::duration<double> elapsed = Clock::now() - start_;
    std::string text = progress_text(done, total, files, elapsed.count());
    std::string line = "\r" + text;
    if (text.size() < width_) line += std::string(width_ - text.size(), ' ');
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

// Error lines, and the names of the placeholders a run created.
bool writes_to_stderr(const ItemOutcome& outcome) {
  return !outcome.error_text.empty() ||
         std::any_of(outcome.result.entries.begin(), outcome.result.entries.end(),
                     [](const EntryResult& entry) { return entry.status == EntryStatus::kPlaceholderCreated; });
}

}  // namespace

int default_jobs() {
  unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 4u));
}

void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings,
              const std::function<void(ItemOutcome&)>& emit) {
  const std::size_t count = plan.size();
  int folder_total = 0;
  const std::vector<int> folder_of = folder_numbers(plan, folder_total);
  std::vector<int> items_left(static_cast<std::size_t>(folder_total), 0);
  for (int f : folder_of) ++items_left[static_cast<std::size_t>(f)];

  std::vector<ItemOutcome> outcomes(count);
  std::vector<char> done(count, 0);
  int folders_done = 0;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};
  std::atomic<long> entries_checked{0};

  auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      ItemOutcome outcome = execute(plan[i], settings, entries_checked);
      std::lock_guard<std::mutex> lock(mutex);
      outcomes[i] = std::move(outcome);
      done[i] = 1;
      if (--items_left[static_cast<std::size_t>(folder_of[i])] == 0) ++folders_done;
      changed.notify_one();
    }
  };
  const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(settings.jobs, 1)), count);
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);

  ProgressLine progress(settings.show_progress);
  // The line is wiped before anything is written to its terminal: error lines, or reports when
  // standard output is the same terminal.
  const bool reports_on_terminal = settings.show_progress && platform::stdout_is_terminal();
  try {
    std::unique_lock<std::mutex> lock(mutex);
    for (std::size_t emitted = 0; emitted < count;) {
      changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return done[emitted] != 0; });
      while (emitted < count && done[emitted]) {
        ItemOutcome outcome = std::move(outcomes[emitted++]);
        lock.unlock();
        if (reports_on_terminal || writes_to_stderr(outcome)) progress.wipe();
        emit(outcome);
        lock.lock();
      }
      int folders = folders_done;
      lock.unlock();
      if (emitted < count) progress.draw(folders, folder_total, entries_checked.load());
      lock.lock();
    }
  } catch (...) {
    next = count;  // the workers finish the runs they are in and stop
    for (std::thread& thread : pool) thread.join();
    throw;
  }
  progress.wipe();
  for (std::thread& thread : pool) thread.join();
}

}  // namespace qn::cli
