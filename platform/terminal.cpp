#include "platform/terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/wide_text.h"
#else
#include <unistd.h>
#endif

namespace qn::platform {

#ifdef _WIN32
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
bool stdout_is_terminal() { return _isatty(_fileno(stdout)) != 0; }
void set_stdout_binary() { _setmode(_fileno(stdout), _O_BINARY); }
void set_stdin_binary() { _setmode(_fileno(stdin), _O_BINARY); }

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(utf8_from_wide(wide[i]));
  LocalFree(wide);
  return args;
}
#else
bool stderr_is_terminal() { return isatty(fileno(stderr)) != 0; }
bool stdout_is_terminal() { return isatty(fileno(stdout)) != 0; }
void set_stdout_binary() {}
void set_stdin_binary() {}

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}
#endif

}  // namespace qn::platform
