#pragma once
// Form1 on the Win32 calls: the window with its twelve controls, the dialogs, the busy pointer and
// the message loop. It owns the Form1 logic and passes it the user's clicks; everything Form1 shows
// or asks comes back through the Form1View calls.
#include <windows.h>

#include <string>

#include "ui/window/form1.h"
#include "ui/window/form1_view.h"
#include "ui/window/win32/report_window.h"

namespace qn {

class Form1Window final : public Form1View {
 public:
  // `show_command` is what the process was started with (wWinMain's nCmdShow).
  Form1Window(HINSTANCE instance, int show_command);
  Form1Window(const Form1Window&) = delete;
  Form1Window& operator=(const Form1Window&) = delete;
  ~Form1Window() override;

  // Creates the window, runs Form_Load with the argument text and then the message loop until the
  // window is closed or the program ended; returns the exit code.
  int run(const std::string& command_line);

  // --- Form1View
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

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool create_window();
  void create_controls();
  void add_tooltip(HWND control, const wchar_t* text);
  int twips(int value) const { return MulDiv(value, dpi_, 1440); }
  HWND control(Control control) const;
  void on_command(int id, int code);
  void toggle_from_label(HWND box);
  // Runs one of Form1's handlers; a close asked for meanwhile takes effect when the outermost one
  // has returned.
  template <class Handler>
  void call_handler(Handler handler);
  // The owner of a dialog: the window while it is shown.
  HWND dialog_owner() const;
  void show_cursor_now();

  HINSTANCE instance_;
  int show_command_;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT bold_font_ = nullptr;  // the outcome line's
  HBITMAP banner_ = nullptr;

  HWND Form1_ = nullptr;
  HWND Image1 = nullptr;
  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND Label3 = nullptr;
  HWND Label4 = nullptr;
  HWND Label5 = nullptr;
  HWND Check1 = nullptr;
  HWND Check2 = nullptr;
  HWND chkNfo = nullptr;
  HWND Check3 = nullptr;
  HWND btnBrowse = nullptr;
  HWND btnVerify = nullptr;
  HWND Outcome_ = nullptr;  // under the controls: how the last run went
  COLORREF outcome_colour_ = CLR_INVALID;
  HWND tooltips_ = nullptr;
  HWND last_focus_ = nullptr;  // the control that had the focus when the window was left

  int handler_depth_ = 0;
  bool close_requested_ = false;
  bool ended_ = false;
  bool shown_ = false;
  bool busy_ = false;

  ReportWindow report_window_;
  Form1 form_;
};

}  // namespace qn
