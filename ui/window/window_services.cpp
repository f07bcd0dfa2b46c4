#include "ui/window/window_services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "base/paths.h"
#include "platform/find_files.h"
#include "platform/program_folder.h"
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
}

FileList ChooseChecksumFile(const std::string& folder, WindowServices& services, QWidget* owner) {
  std::string path = services.OpenChecksumFileDialog(owner, kPickChecksumPrompt, folder);
  if (path.empty()) return empty_file_list();
  // Only the picked name counts: it is looked for in the folder that was passed in.
  std::string name = FileNameOfPath(path);
  if (name.empty()) return empty_file_list();
  return FindFiles(folder, name, false);
}

std::string DesktopServices::BrowseForFolder(QWidget* owner, const std::string& prompt) {
  QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdString(prompt), QString(),
                                                     QFileDialog::ShowDirsOnly);
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

void DesktopServices::show_error_box(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box.exec();
}

std::string DesktopServices::report_path() { return qn::report_path(); }

void DesktopServices::open_report(const std::string& path) {
#ifdef _WIN32
  QProcess::startDetached(QStringLiteral("NOTEPAD.EXE"), {text_from_path(path)});
#else
  QDesktopServices::openUrl(QUrl::fromLocalFile(text_from_path(path)));
#endif
}

void DesktopServices::register_shell(const std::string& command_line) {
  register_at_startup(command_line, program_file_path());
}

void DesktopServices::end_program() {
  ended_ = true;
  QCoreApplication::exit(0);
}

}  // namespace qn
