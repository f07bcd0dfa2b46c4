#pragma once
// The run host of qnverify: error messages go to standard error, one line each.
#include <iostream>

#include "engine/host.h"

namespace qn::cli {

class CliHost : public RunHost {
 public:
  CliHost(bool id3v1, bool id3v2) : id3v1_(id3v1), id3v2_(id3v2) {}

  void ShowProgress(const std::string&) override {}
  void Yield() override {}
  void SetBusy(bool) override {}
  bool IncludeID3v1() override { return id3v1_; }
  bool IncludeID3v2() override { return id3v2_; }
  void EnableID3Options(bool) override {}
  void ShowError(int number, const std::string& description, const std::string& context) override {
    std::string line = "qnverify: error " + std::to_string(number) + ": " + description;
    if (!context.empty()) line += " [" + context + "]";
    for (char& c : line)
      if (c == '\r' || c == '\n') c = ' ';
    std::cerr << line << "\n";
  }

 private:
  bool id3v1_;
  bool id3v2_;
};

}  // namespace qn::cli
