#include "ui/window/win32/report_window.h"

#include "platform/wide_text.h"

namespace qn {

namespace {

constexpr const wchar_t* kClassName = L"QuarnellVerifyReport";

// The edit control breaks lines at CR LF only; a lone LF or CR becomes one.
std::wstring with_crlf(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\r\n";
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

ReportWindow::~ReportWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

LRESULT CALLBACK ReportWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ReportWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_SIZE:
        if (self->text_ != nullptr) MoveWindow(self->text_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
        return 0;
      case WM_SETFOCUS:
        if (self->text_ != nullptr) SetFocus(self->text_);
        return 0;
      case WM_NCDESTROY:
        self->window_ = nullptr;
        self->text_ = nullptr;
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool ReportWindow::create(HWND owner) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  if (!GetClassInfoExW(instance_, kClassName, &window_class)) {
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance_;
    window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kClassName;
    if (!RegisterClassExW(&window_class)) return false;
  }
  window_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 480, owner,
                            nullptr, instance_, this);
  if (window_ == nullptr) return false;
  text_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                              ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                          0, 0, 0, 0, window_, nullptr, instance_, nullptr);
  if (font_ == nullptr) {
    // A fixed-pitch font that has the letters of every script the names may hold.
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas");
  }
  if (text_ != nullptr) {
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // No limit of the control's own on a long report.
    SendMessageW(text_, EM_SETLIMITTEXT, 0, 0);
  }
  RECT client;
  GetClientRect(window_, &client);
  if (text_ != nullptr) MoveWindow(text_, 0, 0, client.right, client.bottom, FALSE);
  return true;
}

void ReportWindow::show(HWND owner, const std::string& path, const std::string& text) {
  if (window_ == nullptr && !create(owner)) return;
  std::wstring title = L"Quarnell Verify Report - " + platform::wide_from_utf8(path);
  SetWindowTextW(window_, title.c_str());
  if (text_ != nullptr) SetWindowTextW(text_, with_crlf(platform::wide_from_utf8(text)).c_str());
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
}

}  // namespace qn
