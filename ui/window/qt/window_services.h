#pragma once
// Everything the window asks of the desktop around it: the two dialogs, the error box, a yes/no
// question, where the report goes and how it is shown, the shell registration, and ending the
// program. The program
// uses DesktopServices; the tests put their own in, so no test waits on a modal dialog, opens a
// viewer or writes outside its temporary folders.
#include <string>

#include "ui/window/form1.h"

class QFileDialog;
class QString;
class QWidget;

namespace qn {

class WindowServices {
 public:
  virtual ~WindowServices() = default;
  // The folder dialog with `prompt` as its caption, opening in `start_folder`: the chosen folder
  // (native separators, no trailing separator unless a root), or the empty text when cancelled.
  virtual std::string BrowseForFolder(QWidget* owner, const std::string& prompt,
                                      const std::string& start_folder) = 0;
  // The open-file dialog for checksum files: the chosen file's full path, or the empty text.
  virtual std::string OpenChecksumFileDialog(QWidget* owner, const std::string& prompt,
                                             const std::string& folder) = 0;
  // A message box with an OK button. With `offer_silence`, it also holds the check box
  // kSilenceErrorsText; returns true when that was ticked.
  virtual bool show_error_box(QWidget* owner, const QString& title, const QString& text,
                              bool offer_silence) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool ask_yes_no(QWidget* owner, const QString& title, const QString& text) = 0;
  // Where the next report is written.
  virtual std::string report_path() = 0;
  // Shows the written report in the desktop's text viewer; does not wait for it. False when that
  // cannot be done: no opener, or the opener failed or said it could not.
  virtual bool open_report(const std::string& path) = 0;
  // Shows a folder in the desktop's file manager; false when that cannot be done.
  virtual bool open_folder(const std::string& folder) = 0;
  // The shell registration of a start without argument.
  virtual void register_shell(const std::string& command_line) = 0;
  // Ends the program at once, without a message.
  virtual void end_program() = 0;
};

class DesktopServices : public WindowServices {
 public:
  std::string BrowseForFolder(QWidget* owner, const std::string& prompt,
                              const std::string& start_folder) override;
  std::string OpenChecksumFileDialog(QWidget* owner, const std::string& prompt,
                                     const std::string& folder) override;
  bool show_error_box(QWidget* owner, const QString& title, const QString& text,
                      bool offer_silence) override;
  bool ask_yes_no(QWidget* owner, const QString& title, const QString& text) override;
  std::string report_path() override;
  bool open_report(const std::string& path) override;
  bool open_folder(const std::string& folder) override;
  void register_shell(const std::string& command_line) override;
  void end_program() override;

  // True once EndProgram was called (before the event loop runs, quitting it does nothing).
  bool ended() const { return ended_; }

 private:
  bool ended_ = false;
};

// Sets up `dialog` as the checksum-file picker: title `prompt`, opening in `folder`, offering the
// one filter "Quarnell Checksum Files (*.qn)", which matches ".qn" in any letter case.
void configure_checksum_file_dialog(QFileDialog& dialog, const std::string& prompt, const std::string& folder);

// Texts between the window and the engine: paths are kept as the bytes the file system uses.
QString text_from_path(const std::string& path);
std::string path_from_text(const QString& text);

}  // namespace qn
