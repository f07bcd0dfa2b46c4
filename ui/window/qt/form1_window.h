#pragma once
// The program's one window in Qt: the controls at their fixed places, the user's clicks handed to
// the window's logic (Form1), and what that logic asks of a window (Form1View) done with Qt
// widgets and the WindowServices (dialogs, message boxes, the desktop).
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "ui/window/form1.h"
#include "ui/window/form1_view.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace qn {

class ReportView;
class WindowServices;

class Form1Window : public QWidget, public Form1View {
  Q_OBJECT

 public:
  explicit Form1Window(WindowServices& services, QWidget* parent = nullptr);

  // The start-up sequence (Form1::Form_Load).
  void Form_Load(const std::string& command_line) { form1_.Form_Load(command_line); }
  Form1& form1() { return form1_; }
  // The window's own report view, once it was needed (the desktop could not show a report).
  ReportView* report_view() const { return report_view_; }

  // Form1View
  void set_title(const std::string& title) override;
  void show_window() override;
  void set_label1(const std::string& text) override;
  CheckValue check_value(Control box) const override;
  void set_check_value(Control box, CheckValue value) override;
  bool is_enabled(Control control) const override;
  void set_enabled(Control control, bool enabled) override;
  void set_verify_caption(const std::string& caption) override;
  void set_outcome(const std::string& text, Outcome worst) override;
  void set_busy(bool busy) override;
  void yield() override;
  std::string BrowseForFolder(const std::string& prompt, const std::string& start_folder) override;
  std::string OpenChecksumFileDialog(const std::string& prompt, const std::string& folder) override;
  bool show_error_box(const std::string& title, const std::string& text, bool offer_silence) override;
  bool ask_yes_no(const std::string& title, const std::string& text) override;
  std::string report_path() override;
  bool open_report(const std::string& path) override;
  void show_report_in_window(const std::string& path, const std::string& text) override;
  std::string home_folder() override;
  void register_shell() override;
  void end_program() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void create_controls();
  // Grows the fixed layout evenly where the font needs more room than the fixed sizes give.
  void fit_to_font();
  std::vector<std::pair<QLabel*, int>> label_rooms() const;
  QWidget* control(Control which) const;
  QCheckBox* box(Control which) const;

  WindowServices& services_;
  Form1 form1_;
  bool busy_ = false;
  ReportView* report_view_ = nullptr;

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* Label2 = nullptr;
  QCheckBox* Check2 = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* chkNfo = nullptr;
  QLabel* Label4 = nullptr;
  QCheckBox* Check3 = nullptr;
  QLabel* Label5 = nullptr;
  QPushButton* btnBrowse = nullptr;
  QPushButton* btnVerify = nullptr;
  // Under the controls, in the window's spare bottom room: how the last run went.
  QLabel* outcome_ = nullptr;
};

}  // namespace qn
