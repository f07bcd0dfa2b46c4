#pragma once
// The report in a window of the program's own, where neither Notepad nor the file type's viewer
// could be started: the text read-only, in a fixed-pitch font, the path in the title.
#include <windows.h>

#include <string>

namespace qn {

class ReportWindow {
 public:
  explicit ReportWindow(HINSTANCE instance) : instance_(instance) {}
  ReportWindow(const ReportWindow&) = delete;
  ReportWindow& operator=(const ReportWindow&) = delete;
  ~ReportWindow();

  // Shows the text (a new window, or the open one with the new text), owned by `owner`.
  void show(HWND owner, const std::string& path, const std::string& text);

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  bool create(HWND owner);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND text_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace qn
