// quarnell-verify: the window. With an argument (the path of a file in a collection folder) the
// folder is verified at once; without one, the shell registration is written and the window waits.
// `--unregister` alone takes that registration back and shows no window.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/program_folder.h"
#include "ui/shell/shell_registration.h"

#include "ui/window/qt/form1_window.h"
#include "ui/window/qt/window_services.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--unregister") == 0) {
    for (const auto& file : qn::unregister_from_desktop(qn::platform::program_file_path()))
      std::printf("%s\n", file.c_str());
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(qn::kApplicationTitle));

  // The whole argument text is one path: arguments are joined again, no quote marks removed.
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }

  qn::DesktopServices services;
  qn::Form1Window window(services);
  window.Form_Load(command_line);
  // Ended by a cancelled pick, or closed while the first run was still going.
  if (services.ended() || !window.isVisible()) return 0;
  return QApplication::exec();
}
