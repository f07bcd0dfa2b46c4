#include "ui/window/qt/window_services.h"

#include <algorithm>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QProcess>
#include <QTreeView>
#include <QUrl>

#include "platform/program_folder.h"
#include "ui/window/report_place.h"
#include "platform/run_tool.h"
#include "ui/shell/shell_registration.h"

namespace qn {

QString text_from_path(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string path_from_text(const QString& text) { return QFile::encodeName(text).toStdString(); }

void configure_checksum_file_dialog(QFileDialog& dialog, const std::string& prompt, const std::string& folder) {
  dialog.setWindowTitle(QString::fromStdString(prompt));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog filters without regard to letter case on every platform, so "A.QN" is offered.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilter(QStringLiteral("Quarnell Checksum Files (*.qn)"));
  dialog.setDirectory(text_from_path(folder));
  // Whole file names: the detail view with its columns as wide as their contents.
  dialog.setViewMode(QFileDialog::Detail);
  dialog.resize(std::max(dialog.width(), 720), std::max(dialog.height(), 420));
  for (QTreeView* view : dialog.findChildren<QTreeView*>())
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

std::string DesktopServices::BrowseForFolder(QWidget* owner, const std::string& prompt,
                                             const std::string& start_folder) {
  QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdString(prompt),
                                                     text_from_path(start_folder), QFileDialog::ShowDirsOnly);
  return path_from_text(QDir::toNativeSeparators(folder));
}

std::string DesktopServices::OpenChecksumFileDialog(QWidget* owner, const std::string& prompt,
                                                    const std::string& folder) {
  QFileDialog dialog(owner);
  configure_checksum_file_dialog(dialog, prompt, folder);
  if (dialog.exec() != QDialog::Accepted) return {};
  QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return path_from_text(QDir::toNativeSeparators(chosen.first()));
}

bool DesktopServices::show_error_box(QWidget* owner, const QString& title, const QString& text,
                                     bool offer_silence) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);  // messages hold names, which are never markup
  if (offer_silence) box.setCheckBox(new QCheckBox(QString::fromLatin1(kSilenceErrorsText)));
  // A long list keeps the box on the screen: its head shown, all of it under "Show Details".
  bool whole = true;
  const std::string head = error_box_head(text.toStdString(), whole);
  if (!whole) {
    box.setText(QString::fromStdString(head));
    box.setDetailedText(text);
  }
  box.exec();
  return box.checkBox() != nullptr && box.checkBox()->isChecked();
}

bool DesktopServices::ask_yes_no(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

std::string DesktopServices::report_path() { return qn::report_path(); }

namespace {

// The desktop's opener on a file or folder. xdg-open answers at once when it hands the file on;
// where it runs the viewer itself it stays until that is closed, which counts as shown.
bool open_with_desktop(const std::string& path) {
#ifdef _WIN32
  return QDesktopServices::openUrl(QUrl::fromLocalFile(text_from_path(path)));
#else
  switch (platform::start_tool("xdg-open", {path}, 1500)) {
    case platform::ToolStart::kSucceeded:
    case platform::ToolStart::kRunning: return true;
    case platform::ToolStart::kFailed: return false;
    case platform::ToolStart::kAbsent: break;
  }
  // Qt's own launchers; false when it finds none.
  return QDesktopServices::openUrl(QUrl::fromLocalFile(text_from_path(path)));
#endif
}

}  // namespace

bool DesktopServices::open_report(const std::string& path) {
#ifdef _WIN32
  return QProcess::startDetached(QStringLiteral("NOTEPAD.EXE"), {text_from_path(path)});
#else
  return open_with_desktop(path);
#endif
}

bool DesktopServices::open_folder(const std::string& folder) { return open_with_desktop(folder); }

void DesktopServices::register_shell(const std::string& command_line) {
  register_at_startup(command_line, platform::program_file_path());
}

void DesktopServices::end_program() {
  ended_ = true;
  QCoreApplication::exit(0);
}

}  // namespace qn
