#pragma once
// The standard streams as the operating system sees them.

namespace qn::platform {

// True when standard error (standard output) is a terminal: never for scripts and CI logs.
bool stderr_is_terminal();
bool stdout_is_terminal();
// Standard output passes bytes unchanged (no CR inserted before LF on Windows).
void set_stdout_binary();
// Standard input passes bytes unchanged (no CR LF folded into LF on Windows).
void set_stdin_binary();

}  // namespace qn::platform
