#pragma once
// Starting a helper program of the desktop (such as update-mime-database) without a shell.
#include <string>
#include <vector>

namespace qn {

// The full path of the executable `tool` found in the folders of $PATH; empty when absent.
std::string find_on_path(const std::string& tool);

// Runs `tool` with `args` when it is on $PATH, with our environment, its output discarded, and
// waits for it (a tool that has not finished after `timeout_ms` is stopped). True when it ran and
// exited with status 0. Never throws. Always false on Windows, which has no such tools.
bool run_tool_if_present(const std::string& tool, const std::vector<std::string>& args,
                         int timeout_ms = 20000);

}  // namespace qn
