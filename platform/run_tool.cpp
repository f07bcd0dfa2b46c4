#include "platform/run_tool.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/text.h"

extern char** environ;
#endif

namespace qn::platform {

#ifndef _WIN32

std::string find_on_path(const std::string& tool) {
  if (tool.empty() || tool.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  for (const std::string& folder : text::split(path, ":")) {
    if (folder.empty()) continue;  // an empty piece would mean the current folder: not taken
    std::string candidate = folder + "/" + tool;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

namespace {

// Starts `tool` from PATH with its standard streams on the null device: its pid, 0 when it is not
// on PATH, -1 when it could not be started.
pid_t spawn_quiet(const std::string& tool, const std::vector<std::string>& args) {
  std::string program = find_on_path(tool);
  if (program.empty()) return 0;
  std::vector<std::string> argv_text{tool};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Waits up to wait_ms for `pid`: true when it ended (or cannot be waited for), with `ok` telling
// whether it ended with status 0.
bool ended_within(pid_t pid, int wait_ms, bool& ok) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  int status = 0;
  ok = false;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      return true;
    }
    if (done < 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

bool run_tool_if_present(const std::string& tool, const std::vector<std::string>& args,
                         int timeout_ms) {
  try {
    pid_t pid = spawn_quiet(tool, args);
    if (pid <= 0) return false;
    bool ok = false;
    if (ended_within(pid, timeout_ms, ok)) return ok;
    int status = 0;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
  } catch (...) {
    return false;
  }
}

ToolStart start_tool(const std::string& tool, const std::vector<std::string>& args, int wait_ms) {
  try {
    pid_t pid = spawn_quiet(tool, args);
    if (pid == 0) return ToolStart::kAbsent;
    if (pid < 0) return ToolStart::kFailed;
    bool ok = false;
    if (ended_within(pid, wait_ms, ok)) return ok ? ToolStart::kSucceeded : ToolStart::kFailed;
    // Collected whenever it ends, so that it does not stay behind as a zombie.
    std::thread([pid] {
      int ignored = 0;
      waitpid(pid, &ignored, 0);
    }).detach();
    return ToolStart::kRunning;
  } catch (...) {
    return ToolStart::kFailed;
  }
}

#else

std::string find_on_path(const std::string&) { return {}; }

bool run_tool_if_present(const std::string&, const std::vector<std::string>&, int) {
  return false;
}

ToolStart start_tool(const std::string&, const std::vector<std::string>&, int) { return ToolStart::kAbsent; }

#endif

}  // namespace qn::platform
