// quarnell-verify.exe: the window. With an argument (the path of a file in a collection folder) the
// folder is verified at once; without one, the shell registration is written and the window waits.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "platform/wide_text.h"
#include "ui/window/win32/command_line.h"
#include "ui/window/win32/form1_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // The folder dialog is a shell dialog and wants COM in this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // The whole argument text is one path: no quote marks removed, nothing split.
  std::string command_line = qn::platform::utf8_from_wide(qn::argument_text(GetCommandLineW()));
  int exit_code;
  {
    qn::Form1Window window(instance, show_command);
    exit_code = window.run(command_line);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exit_code;
}
