#pragma once
// The error rule of a run: every step is a call that may throw; a failing step is reported through
// the host with what failed and the context line, recorded in the run's result, and has no effect.
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/step_error.h"
#include "engine/host.h"
#include "engine/run_result.h"

namespace qn {

class StepGuard {
 public:
  StepGuard(RunHost& host, RunResult& result) : host_(host), result_(result) {}

  // Runs `step`; returns false (after reporting) when it threw.
  template <typename Step>
  bool run(const std::string& context, Step&& step) {
    try {
      std::forward<Step>(step)();
      return true;
    } catch (const StepError& e) {
      report(e.number(), e.what(), context);
    } catch (const std::bad_alloc&) {
      report(7, "Out of memory", context);
    } catch (const std::exception& e) {
      report(51, std::string("Internal error: ") + e.what(), context);
    }
    return false;
  }

  // A failure already reported for the current entry (the same number, text and line, as when two
  // steps take the track key from one bad name) is reported once.
  // The run keeps the first kKeptErrors in full and counts the rest.
  void report(int number, const std::string& description, const std::string& context) {
    for (const StepErrorRecord& seen : entry_errors_)
      if (seen.number == number && seen.description == description && seen.context == context) return;
    StepErrorRecord record{number, description, context};
    ++result_.error_count;
    host_.show_error(number, description, context);
    if (result_.errors.size() < kKeptErrors) result_.errors.push_back(record);
    entry_errors_.push_back(std::move(record));
  }

  // Starts a new entry: its errors are told apart from those of the entries before it.
  void begin_entry() { entry_errors_.clear(); }
  // Failed steps so far.
  long error_count() const { return result_.error_count; }

 private:
  RunHost& host_;
  RunResult& result_;
  std::vector<StepErrorRecord> entry_errors_;  // those of the current entry
};

}  // namespace qn
