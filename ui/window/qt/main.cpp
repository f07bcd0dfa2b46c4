// quarnell-verify: the window. With an argument (the path of a file in a collection folder) the
// folder is verified at once; without one, the shell registration is written and the window waits.
#include <QApplication>

#include <string>

#include "ui/window/qt/form1_window.h"
#include "ui/window/qt/window_services.h"

int main(int argc, char** argv) {
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
