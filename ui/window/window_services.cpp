#include "ui/window/window_services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "engine/paths.h"
#include "ui/platform/find_files.h"
#include "ui/platform/program_folder.h"
#include "ui/platform/shell_registration.h"

namespace qn {

QString TextFromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathFromText(const QString& text) { return QFile::encodeName(text).toStdString(); }

void ConfigureChecksumFileDialog(QFileDialog& dialog, const std::string& prompt, const std::string& folder) {
  dialog.setWindowTitle(QString::fromStdString(prompt));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog filters without regard to letter case on every platform, so "A.QN" is offered.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setNameFilter(QStringLiteral("Quarnell Checksum Files (*.qn)"));
  dialog.setDirectory(TextFromPath(folder));
}

FileList ChooseChecksumFile(const std::string& folder, WindowServices& services, QWidget* owner) {
  std::string path = services.OpenChecksumFileDialog(owner, kPickChecksumPrompt, folder);
  if (path.empty()) return EmptyFileList();
  // Only the picked name counts: it is looked for in the folder that was passed in.
  std::string name = FileNameOfPath(path);
  if (name.empty()) return EmptyFileList();
  return FindFiles(folder, name, false);
}

std::string DesktopServices::BrowseForFolder(QWidget* owner, const std::string& prompt) {
  QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdString(prompt), QString(),
                                                     QFileDialog::ShowDirsOnly);
  return PathFromText(QDir::toNativeSeparators(folder));
}

std::string DesktopServices::OpenChecksumFileDialog(QWidget* owner, const std::string& prompt,
                                                    const std::string& folder) {
  QFileDialog dialog(owner);
  ConfigureChecksumFileDialog(dialog, prompt, folder);
  if (dialog.exec() != QDialog::Accepted) return {};
  QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  return PathFromText(QDir::toNativeSeparators(chosen.first()));
}

void DesktopServices::ShowErrorBox(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
  box.exec();
}

std::string DesktopServices::ReportPath() { return qn::ReportPath(); }

void DesktopServices::OpenReport(const std::string& path) {
#ifdef _WIN32
  QProcess::startDetached(QStringLiteral("NOTEPAD.EXE"), {TextFromPath(path)});
#else
  QDesktopServices::openUrl(QUrl::fromLocalFile(TextFromPath(path)));
#endif
}

void DesktopServices::RegisterShell(const std::string& command_line) {
  RegisterAtStartup(command_line, ProgramFilePath());
}

void DesktopServices::EndProgram() {
  ended_ = true;
  QCoreApplication::exit(0);
}

}  // namespace qn
