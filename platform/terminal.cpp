#include "platform/terminal.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/wide_text.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace qn::platform {

namespace {

// Written by the signal handler (or the console's handler thread) alone.
volatile std::sig_atomic_t g_interrupted = 0;

}  // namespace

bool interrupted() { return g_interrupted != 0; }

#ifdef _WIN32
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
bool stdout_is_terminal() { return _isatty(_fileno(stdout)) != 0; }
void set_stdout_binary() { _setmode(_fileno(stdout), _O_BINARY); }
void set_stdin_binary() { _setmode(_fileno(stdin), _O_BINARY); }

int stderr_columns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

namespace {

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = 1;
  return TRUE;
}

}  // namespace

void catch_interrupt() { SetConsoleCtrlHandler(on_console_event, TRUE); }

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

int stderr_columns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

namespace {

void on_interrupt(int) { g_interrupted = 1; }

}  // namespace

void catch_interrupt() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}
#endif

}  // namespace qn::platform
