#include "platform/terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qn::platform {

#ifdef _WIN32
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
bool stdout_is_terminal() { return _isatty(_fileno(stdout)) != 0; }
void set_stdout_binary() { _setmode(_fileno(stdout), _O_BINARY); }
void set_stdin_binary() { _setmode(_fileno(stdin), _O_BINARY); }
#else
bool stderr_is_terminal() { return isatty(fileno(stderr)) != 0; }
bool stdout_is_terminal() { return isatty(fileno(stdout)) != 0; }
void set_stdout_binary() {}
void set_stdin_binary() {}
#endif

}  // namespace qn::platform
