#pragma once
// The window's own view of a report, shown when the desktop cannot open it: the report read-only
// with its FAIL, MISSING and error lines marked, the path of the report file, and a button that
// opens the folder holding it.
#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qn {

class WindowServices;

// Whether a report line is marked, and how: 0 not at all, 1 missing, 2 failed or an error, 3 a tag
// check failed while the audio is OK (milder than a failure of the audio).
int report_line_mark(const QString& line);

class ReportView : public QDialog {
  Q_OBJECT

 public:
  ReportView(QWidget* owner, WindowServices& services);

  // Shows `text` (the report's bytes) read from `path`, and raises the view.
  void show_report(const std::string& path, const std::string& text);

 private:
  void open_folder();

  WindowServices& services_;
  std::string path_;
  QPlainTextEdit* text_ = nullptr;
  QLabel* path_label_ = nullptr;
  QPushButton* open_folder_ = nullptr;
};

}  // namespace qn
