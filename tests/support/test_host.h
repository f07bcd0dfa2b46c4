#pragma once
// A run host for tests: fixed clock, recorded errors and progress.
#include <ctime>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/run_result.h"

namespace qn::test {

class RecordingHost : public QuietHost {
 public:
  void show_error(int number, const std::string& description, const std::string& context) override {
    errors.push_back({number, description, context});
  }
  void show_progress(const std::string& text) override { progress.push_back(text); }
  std::tm now() override {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    return t;
  }

  std::vector<StepErrorRecord> errors;
  std::vector<std::string> progress;
};

inline const char* kFixedDateLine = "Date & Time: 08 Dec 2026 14:05:09";

}  // namespace qn::test
