#pragma once
// Runs the qnverify binary with arguments and collects its exit status, standard output and
// standard error (both redirected to files, so standard error is never a terminal).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/fixtures.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qn::test {

inline void write_file(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct CliRun {
  int status = -1;
  std::string out;  // with the platform's line ends
  std::string err;

  // Standard output with the CR LF line ends of the report files.
  std::string crlf() const {
#ifdef _WIN32
    return out;
#else
    std::string text;
    for (char c : out) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return text;
#endif
  }
};

#ifdef _WIN32

// One argument as the C runtime's command-line parser reads it back: in quote marks, with the
// backslashes before a quote mark doubled.
inline std::string quote(const std::string& s) {
  std::string q = "\"";
  std::size_t backslashes = 0;
  for (char c : s) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    q += c;
  }
  q.append(2 * backslashes, '\\');
  return q + "\"";
}

inline HANDLE inheritable_file(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  // Shared for deletion too: the child's copy of a handle may outlive its exit for a moment (its
  // worker threads still ending), and the file is removed right after.
  return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa, write ? CREATE_ALWAYS : OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Started directly (no command interpreter), standard handles on files and NUL.
inline CliRun run_cli(const std::vector<std::string>& args, const std::string& input = "") {
  namespace fs = std::filesystem;
  static int counter = 0;
  fs::path tmp = fs::temp_directory_path();
  std::string stem = "qnverify-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  fs::path out = tmp / (stem + ".out"), err = tmp / (stem + ".err"), in = tmp / (stem + ".in");
  write_file(in, input);
  std::string program = fs::absolute(fs::path(QNVERIFY_PATH)).make_preferred().string();
  std::string command = quote(program);
  for (const std::string& a : args) command += " " + quote(a);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inheritable_file(in.string(), false);
  si.hStdOutput = inheritable_file(out.string(), true);
  si.hStdError = inheritable_file(err.string(), true);
  PROCESS_INFORMATION pi{};
  CliRun run;
  if (CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) run.status = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  for (HANDLE h : {si.hStdInput, si.hStdOutput, si.hStdError})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  run.out = read_file(out);
  run.err = read_file(err);
  for (const fs::path& p : {out, err, in}) fs::remove(p);
  return run;
}

#else

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// `input` is what the program reads from standard input.
inline CliRun run_cli(const std::vector<std::string>& args, const std::string& input = "") {
  namespace fs = std::filesystem;
  static int counter = 0;
  fs::path tmp = fs::temp_directory_path();
  std::string stem = "qnverify-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  fs::path out = tmp / (stem + ".out"), err = tmp / (stem + ".err"), in = tmp / (stem + ".in");
  write_file(in, input);
  std::string command = quote(QNVERIFY_PATH);
  for (const std::string& a : args) command += " " + quote(a);
  command += " >" + quote(out.string()) + " 2>" + quote(err.string()) + " <" + quote(in.string());
  int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = read_file(out);
  run.err = read_file(err);
  for (const fs::path& p : {out, err, in}) fs::remove(p);
  return run;
}

#endif

}  // namespace qn::test
