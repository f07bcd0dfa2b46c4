#include "cli/collection_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/cli_host.h"
#include "cli/progress.h"
#include "platform/terminal.h"

namespace qn::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The progress line on standard error; it is wiped before anything else is written there. It is
// redrawn at most every kRedraw, and never reaches the terminal's last column, so it never wraps.
class ProgressLine {
 public:
  static constexpr std::chrono::milliseconds kRedraw{100};

  explicit ProgressLine(bool enabled) : enabled_(enabled) {}
  ~ProgressLine() { wipe(); }

  void draw(int done, int total, long files, double elapsed_seconds) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (drawn_ && now - last_ < kRedraw) return;
    drawn_ = true;
    last_ = now;
    std::string text = fit_to_columns(progress_text(done, total, files, elapsed_seconds), platform::stderr_columns());
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
  Clock::time_point last_;
  bool drawn_ = false;
  std::size_t width_ = 0;
};

// The command line's side of the loop: a JobHost per run, Ctrl-C as the stop, error lines, and
// the progress line wiped before anything is written to its terminal.
class CliPlan : public PlanFront {
 public:
  CliPlan(const RunSettings& settings, PlanOutput& output)
      : settings_(settings), output_(output), progress_(settings.show_progress),
        reports_on_terminal_(settings.show_progress && platform::stdout_is_terminal()) {}

  bool stop_requested() override { return platform::interrupted(); }
  void progress(int folders_done, int folders_total, double elapsed_seconds) override {
    // The start shows no file checked yet, whatever the first runs did meanwhile.
    progress_.draw(folders_done, folders_total, started_ ? entries_checked_.load() : 0, elapsed_seconds);
    started_ = true;
  }

  std::unique_ptr<RunHost> host(std::size_t, const PlanItem& item, ItemStream& stream) override {
    return std::make_unique<JobHost>(settings_.id3v1, settings_.id3v2, settings_.prefix_errors ? item.folder : "",
                                     entries_checked_, stream, settings_.errors_in_outcome);
  }
  RunOptions run_options() override { return settings_.run; }
  std::unique_ptr<EntrySink> sink(std::size_t index, const PlanItem& item, ItemStream& stream) override {
    return output_.sink(index, item, stream);
  }
  void finish(std::size_t, RunHost* host, ItemStream& stream, ItemOutcome& outcome) override {
    outcome.error_text = stream.take_held(ItemStream::Held::kErrors);
    outcome.notice_text = stream.take_held(ItemStream::Held::kNotices);
    if (!outcome.ran && !outcome.interrupted)
      outcome.error_text += error_line(outcome.item.folder, outcome.item.error_number, outcome.item.message, "");
    if (host == nullptr) return;
    // A run that shows no progress (the label run) is counted at its end.
    long uncounted = outcome.result.tally.entries - static_cast<JobHost*>(host)->progress_calls();
    if (uncounted > 0) entries_checked_.fetch_add(uncounted, std::memory_order_relaxed);
  }

  void write(std::size_t index, bool to_stderr, const std::string& text) override {
    if (to_stderr || reports_on_terminal_) progress_.wipe();
    output_.write(index, to_stderr, text);
  }
  void take(std::size_t index, ItemOutcome& outcome) override {
    if (reports_on_terminal_ || !outcome.error_text.empty() || !outcome.notice_text.empty()) progress_.wipe();
    output_.take(index, outcome);
  }

  void end() { progress_.wipe(); }

 private:
  const RunSettings& settings_;
  PlanOutput& output_;
  ProgressLine progress_;
  const bool reports_on_terminal_;
  std::atomic<long> entries_checked_{0};
  bool started_ = false;
};

}  // namespace

int default_jobs() {
  unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 4u));
}

void run_plan(const std::vector<PlanItem>& plan, const RunSettings& settings, PlanOutput& output, Summary& summary) {
  CliPlan front(settings, output);
  qn::run_plan(plan, std::clamp(settings.jobs, 1, kMostJobs), front, summary);
  front.end();
}

}  // namespace qn::cli
