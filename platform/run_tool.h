#pragma once
// Starting a helper program of the desktop (such as update-mime-database) without a shell.
#include <string>
#include <vector>

namespace qn::platform {

// The full path of the executable `tool` found in the folders of $PATH; empty when absent.
std::string find_on_path(const std::string& tool);

// Runs `tool` with `args` when it is on $PATH, with our environment, its output discarded, and
// waits for it (a tool that has not finished after `timeout_ms` is stopped). True when it ran and
// exited with status 0. Never throws. Always false on Windows, which has no such tools.
bool run_tool_if_present(const std::string& tool, const std::vector<std::string>& args,
                         int timeout_ms = 20000);

enum class ToolStart {
  kAbsent,     // not on $PATH (always on Windows)
  kFailed,     // could not be started, or ended with a status other than 0 within the wait
  kSucceeded,  // ended with status 0 within the wait
  kRunning,    // still running after the wait: left to run on, never stopped by us
};

// Starts `tool` like run_tool_if_present, but for openers that may stay until the user closes
// what they opened: waits at most `wait_ms` for an answer and otherwise lets the tool run on.
ToolStart start_tool(const std::string& tool, const std::vector<std::string>& args, int wait_ms);

}  // namespace qn::platform
