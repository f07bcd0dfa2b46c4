#pragma once
// The run hosts of qnverify. Error messages become whole lines for standard error; a collection run
// gives every folder its own host, which keeps its lines until the folder's turn to be printed.
#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/collection_run.h"
#include "engine/host.h"
#include "base/text.h"
#include "platform/terminal.h"

namespace qn::cli {

// "qnverify: [FOLDER: ]error N: DESCRIPTION [CONTEXT]" on one line (control bytes become "?").
inline std::string error_line(const std::string& folder, int number, const std::string& description,
                              const std::string& context) {
  std::string line = "qnverify: ";
  if (!folder.empty()) line += folder + ": ";
  line += "error " + std::to_string(number) + ": " + description;
  if (!context.empty()) line += " [" + context + "]";
  return text::printable(line) + "\n";
}

// Thrown out of a run at its next entry once Ctrl-C was pressed.
struct RunInterrupted : std::exception {
  const char* what() const noexcept override { return "interrupted"; }
};

class CliHost : public RunHost {
 public:
  CliHost(bool id3v1, bool id3v2, platform::ReadAheadPool* read_ahead = nullptr)
      : id3v1_(id3v1), id3v2_(id3v2), read_ahead_(read_ahead) {}

  void show_progress(const std::string&) override {}
  void yield() override {}
  void set_busy(bool) override {}
  bool include_id3v1() override { return id3v1_; }
  bool include_id3v2() override { return id3v2_; }
  void enable_id3_options(bool) override {}
  void show_error(int number, const std::string& description, const std::string& context) override {
    std::cerr << error_line("", number, description, context) << std::flush;
  }
  platform::ReadAheadPool* read_ahead() override { return read_ahead_; }
  bool deep_check() override { return deep_; }
  bool hints() override { return deep_ || hints_; }
  JobPool* job_pool() override { return job_pool_; }

  // The deep check and the hints after a FAIL, and the workers of the checks (or none).
  void check_content(bool deep, bool hints, JobPool* pool) {
    deep_ = deep;
    hints_ = hints;
    job_pool_ = pool;
  }

 private:
  bool id3v1_;
  bool id3v2_;
  platform::ReadAheadPool* read_ahead_;
  bool deep_ = false;
  bool hints_ = false;
  JobPool* job_pool_ = nullptr;
};

// The host of one run among several: error lines (prefixed with `folder_prefix` when it is not
// empty) go to the run's stream, held for the end of the run as long as there are few, and every
// entry checked is counted in a counter shared by all runs. When the run's first errors are shown
// otherwise (`hold_errors` false), only the lines beyond them are streamed.
class JobHost : public CliHost {
 public:
  JobHost(bool id3v1, bool id3v2, platform::ReadAheadPool* read_ahead, std::string folder_prefix,
          std::atomic<long>& entries_checked, ItemStream& stream, bool hold_errors)
      : CliHost(id3v1, id3v2, read_ahead), prefix_(std::move(folder_prefix)), entries_checked_(entries_checked),
        stream_(stream), hold_errors_(hold_errors) {}

  void yield() override {
    if (platform::interrupted()) throw RunInterrupted();
  }
  void show_progress(const std::string&) override {
    ++progress_calls_;
    entries_checked_.fetch_add(1, std::memory_order_relaxed);
  }
  void show_error(int number, const std::string& description, const std::string& context) override {
    if (hold_errors_) stream_.hold(ItemStream::Held::kErrors, error_line(prefix_, number, description, context));
    else if (++errors_ > kKeptErrors) stream_.err(error_line(prefix_, number, description, context));
  }

  // Entries counted so far; a run that shows no progress (the label run) is counted at its end.
  long progress_calls() const { return progress_calls_; }

 private:
  std::string prefix_;
  std::atomic<long>& entries_checked_;
  ItemStream& stream_;
  bool hold_errors_;
  std::size_t errors_ = 0;
  long progress_calls_ = 0;
};

}  // namespace qn::cli
