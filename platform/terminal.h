#pragma once
// The standard streams and the command line as the operating system sees them.
#include <string>
#include <vector>

namespace qn::platform {

// True when standard error (standard output) is a terminal: never for scripts and CI logs.
bool stderr_is_terminal();
bool stdout_is_terminal();
// The columns of the terminal standard error is on; 0 when it is none or does not say.
int stderr_columns();
// From now on Ctrl-C (SIGINT; on Windows also Ctrl-Break) only raises the flag interrupted() reads.
void catch_interrupt();
bool interrupted();

// Standard output passes bytes unchanged (no CR inserted before LF on Windows).
void set_stdout_binary();
// Standard input passes bytes unchanged (no CR LF folded into LF on Windows).
void set_stdin_binary();

// The program's arguments, the program's own name first, as UTF-8 texts. On Windows they are taken
// from the wide command line, since argv holds them in the ANSI code page and loses what it
// cannot spell; elsewhere they are argv's bytes.
std::vector<std::string> command_line_arguments(int argc, char** argv);

}  // namespace qn::platform
