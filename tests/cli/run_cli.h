#pragma once
// Runs the qnverify binary with arguments and collects its exit status, standard output and
// standard error (both redirected to files, so standard error is never a terminal).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qn::testing {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline CliRun RunCli(const std::vector<std::string>& args) {
  namespace fs = std::filesystem;
  static int counter = 0;
  fs::path tmp = fs::temp_directory_path();
  std::string stem = "qnverify-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  fs::path out = tmp / (stem + ".out"), err = tmp / (stem + ".err");
  std::string command = Quote(QNVERIFY_PATH);
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
  int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  fs::remove(out);
  fs::remove(err);
  return run;
}

}  // namespace qn::testing
