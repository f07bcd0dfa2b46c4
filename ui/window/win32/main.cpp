// quarnell-verify.exe: the window. With an argument (the path of a file in a collection folder) the
// folder is verified at once; without one, the shell registration is written and the window waits.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "platform/wide_text.h"
#include "ui/window/win32/command_line.h"
#include "ui/window/win32/form1_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // The folder dialog is a shell dialog and wants COM in this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // The whole argument text is one path: nothing split. The program's own path tells where an
  // unquoted name with blanks ends.
  std::wstring module(32768, L'\0');
  module.resize(GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size())));
  std::string command_line = qn::platform::utf8_from_wide(qn::argument_text(GetCommandLineW(), module));
  int exit_code;
  {
    qn::Form1Window window(instance, show_command);
    exit_code = window.run(command_line);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exit_code;
}
