#pragma once
// A run host for tests (recorded errors and progress), and run options with a fixed clock.
#include <ctime>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/run_options.h"
#include "engine/run_result.h"

namespace qn::test {

class RecordingHost : public QuietHost {
 public:
  void show_error(int number, const std::string& description, const std::string& context) override {
    errors.push_back({number, description, context});
  }
  void show_progress(const std::string& text) override { progress.push_back(text); }

  std::vector<StepErrorRecord> errors;
  std::vector<std::string> progress;
};

// The fixed clock of the tests' runs, and the date line it gives.
inline std::tm fixed_now() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  return t;
}
inline const char* kFixedDateLine = "Date & Time: 08 Dec 2026 14:05:09";

// Run options with the fixed clock and nothing else.
inline RunOptions test_options() {
  RunOptions options;
  options.clock = fixed_now;
  return options;
}

}  // namespace qn::test
