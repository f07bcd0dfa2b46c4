#include "ui/window/win32/form1_window.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>

#include "platform/program_folder.h"
#include "ui/window/report_place.h"
#include "platform/wide_text.h"
#include "ui/shell/shell_registration.h"
#include "ui/window/win32/dialogs.h"
#include "ui/window/win32/resource_ids.h"

namespace qn {

using platform::utf8_from_wide;
using platform::wide_from_utf8;

namespace {

constexpr const wchar_t* kClassName = L"QuarnellVerifyForm1";

// The client area and the controls' places, in twips (1440 to the inch: 15 to a pixel at 96 dpi).
constexpr int kClientWidth = 6075;
constexpr int kClientHeight = 2460;
struct Place {
  int left, top, width, height;
};

enum ControlId : int {
  kIdImage1 = 100,
  kIdLabel1,
  kIdLabel2,
  kIdLabel3,
  kIdLabel4,
  kIdLabel5,
  kIdCheck1,
  kIdCheck2,
  kIdChkNfo,
  kIdCheck3,
  kIdBtnBrowse,
  kIdBtnVerify,
  kIdOutcome,
};

// A run yields often; one yield handles what is waiting, a bounded number of messages.
constexpr int kMessagesPerYield = 200;

std::wstring window_text(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace

Form1Window::Form1Window(HINSTANCE instance, int show_command)
    : instance_(instance), show_command_(show_command), report_window_(instance), form_(*this) {}

Form1Window::~Form1Window() {
  if (Form1_ != nullptr) DestroyWindow(Form1_);
  if (font_ != nullptr) DeleteObject(font_);
  if (bold_font_ != nullptr) DeleteObject(bold_font_);
  if (banner_ != nullptr) DeleteObject(banner_);
}

int Form1Window::run(const std::string& command_line) {
  if (!create_window()) return 1;
  call_handler([&] { form_.Form_Load(command_line); });
  // Ended or closed during Form_Load: the window is gone and the quit message waits in the queue.
  MSG message;
  int result;
  while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (Form1_ != nullptr && IsDialogMessageW(Form1_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return result < 0 ? 1 : static_cast<int>(message.wParam);
}

bool Form1Window::create_window() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance_;
  window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(QN_IDI_PROGRAM));
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(QN_IDI_PROGRAM), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExW(&window_class)) return false;

  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  // A fixed size: a caption, a system menu and minimise, no sizing border, no maximise.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, twips(kClientWidth), twips(kClientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  Form1_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_, this);
  if (Form1_ == nullptr) return false;

  // The font the system uses for its message boxes and dialogs.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    metrics.lfMessageFont.lfWeight = FW_BOLD;
    bold_font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  }
  create_controls();
  return true;
}

void Form1Window::create_controls() {
  HFONT font = font_ != nullptr ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  auto make = [&](const wchar_t* window_class, const wchar_t* text, DWORD style, int id, Place place) {
    HWND control = CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, twips(place.left),
                                   twips(place.top), twips(place.width), twips(place.height), Form1_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  // Labels take clicks (SS_NOTIFY) and show "&" as it is (SS_NOPREFIX); the boxes have no text.
  const DWORD label = SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
  const DWORD box = BS_AUTOCHECKBOX | WS_TABSTOP;
  const DWORD button = BS_PUSHBUTTON | WS_TABSTOP;

  // Created in the tab order: Windows moves the focus in the order the controls were made.
  btnBrowse = make(L"BUTTON", L"Browse", button, kIdBtnBrowse, {2760, 1690, 1095, 375});
  // Folder paths break anywhere (SS_EDITCONTROL), not only at blanks, and are never cut.
  Label1 = make(L"STATIC", wide_from_utf8(kAudioPrompt).c_str(), label | SS_EDITCONTROL, kIdLabel1,
                {580, 920, 5000, 600});
  btnVerify = make(L"BUTTON", L"Verify", button | WS_DISABLED, kIdBtnVerify, {4320, 1690, 1095, 375});
  Check1 = make(L"BUTTON", L"", box, kIdCheck1, {360, 1640, 255, 195});
  Check2 = make(L"BUTTON", L"", box, kIdCheck2, {360, 1880, 255, 255});
  Label2 = make(L"STATIC", L"ID3v1", label, kIdLabel2, {645, 1635, 480, 255});
  Label3 = make(L"STATIC", L"ID3v2", label, kIdLabel3, {645, 1905, 480, 255});
  chkNfo = make(L"BUTTON", L"", box, kIdChkNfo, {1320, 1640, 255, 195});
  Label4 = make(L"STATIC", L".NFO", label, kIdLabel4, {1600, 1635, 480, 255});
  Check3 = make(L"BUTTON", L"", box, kIdCheck3, {1320, 1880, 255, 255});
  Label5 = make(L"STATIC", L"Images", label, kIdLabel5, {1680, 1900, 600, 255});
  Image1 = make(L"STATIC", L"", SS_BITMAP | SS_REALSIZECONTROL, kIdImage1, {360, 120, 5400, 720});
  // In the room below the boxes; a long report path loses its middle.
  Outcome_ = make(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kIdOutcome, {360, 2175, 5355, 240});
  if (bold_font_ != nullptr) SendMessageW(Outcome_, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_), FALSE);

  banner_ = static_cast<HBITMAP>(
      LoadImageW(instance_, MAKEINTRESOURCEW(QN_IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (banner_ != nullptr) {
    SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner_));
    // The static sizes itself to the bitmap; the banner keeps its place scaled with the display.
    MoveWindow(Image1, twips(360), twips(120), twips(5400), twips(720), FALSE);
  }
  for (HWND box_control : {Check1, Check2, chkNfo}) SendMessageW(box_control, BM_SETCHECK, BST_CHECKED, 0);

  // A box's name may be wider in this font than its place; it grows up to the next control of its row.
  HDC dc = GetDC(Form1_);
  HGDIOBJ old_font = SelectObject(dc, font);
  const std::pair<HWND, int> rooms[] = {
      {Label2, twips(1320) - twips(645)}, {Label3, twips(1320) - twips(645)},
      {Label4, twips(2760) - twips(1600)}, {Label5, twips(2760) - twips(1680)}};
  for (const auto& [name, room] : rooms) {
    std::wstring text = window_text(name);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    RECT place;
    GetWindowRect(name, &place);
    int width = place.right - place.left;
    if (extent.cx + 2 > width) SetWindowPos(name, nullptr, 0, 0, std::min<int>(extent.cx + 2, room),
                                            place.bottom - place.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SelectObject(dc, old_font);
  ReleaseDC(Form1_, dc);

  tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Form1_, nullptr,
                              instance_, nullptr);
  add_tooltip(Check1, L"Include ID3v1");
  add_tooltip(Label2, L"Include ID3v1");
  add_tooltip(Check2, L"Include ID3v2");
  add_tooltip(Label3, L"Include ID3v2");
  add_tooltip(chkNfo, L"Automatically Create Missing .nfo Files");
  add_tooltip(Label4, L"Automatically Create Missing .nfo Files");
  add_tooltip(Check3, L"Select/DeSelect Images");
  add_tooltip(Label5, L"Select/DeSelect Images");
  last_focus_ = btnBrowse;
}

void Form1Window::add_tooltip(HWND control, const wchar_t* text) {
  if (tooltips_ == nullptr) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Form1_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK Form1Window::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->Form1_ != window) return DefWindowProcW(window, message, wparam, lparam);
  return self->handle(window, message, wparam, lparam);
}

LRESULT Form1Window::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lparam) == Outcome_ && outcome_colour_ != CLR_INVALID) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, outcome_colour_);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      // Over the window and its controls alike: the controls ask their parent first.
      if (busy_ && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(Form1_, focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (last_focus_ != nullptr && IsWindowEnabled(last_focus_)) SetFocus(last_focus_);
      else SetFocus(GetNextDlgTabItem(Form1_, nullptr, FALSE));
      return 0;
    case WM_CLOSE:
      form_.window_closing();
      if (handler_depth_ > 0) {
        // A run is going on under a handler: the window goes, the program ends when the run has.
        close_requested_ = true;
        ShowWindow(Form1_, SW_HIDE);
        return 0;
      }
      DestroyWindow(Form1_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      Form1_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Form1Window::on_command(int id, int code) {
  switch (id) {
    case kIdBtnBrowse:
      if (code == BN_CLICKED) call_handler([this] { form_.btnBrowse_Click(); });
      break;
    case kIdBtnVerify:
      if (code == BN_CLICKED) call_handler([this] { form_.btnVerify_Click(); });
      break;
    case kIdCheck3:
      // The box has already changed its value.
      if (code == BN_CLICKED) call_handler([this] { form_.Check3_Click(); });
      break;
    // A click on a box's name toggles the box, as a click on the box would.
    case kIdLabel2:
    case kIdLabel3:
    case kIdLabel4:
    case kIdLabel5:
      if (code == STN_CLICKED || code == STN_DBLCLK) {
        HWND box = id == kIdLabel2 ? Check1 : id == kIdLabel3 ? Check2 : id == kIdLabel4 ? chkNfo : Check3;
        toggle_from_label(box);
      }
      break;
  }
}

void Form1Window::toggle_from_label(HWND box) {
  if (!IsWindowEnabled(box)) return;
  bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
  if (box == Check3) call_handler([this] { form_.Check3_Click(); });
}

template <class Handler>
void Form1Window::call_handler(Handler handler) {
  ++handler_depth_;
  try {
    handler();
  } catch (const std::exception& error) {
    // Nothing may unwind through the system's window procedures.
    show_error_box(kApplicationTitle, std::string("Unexpected error: ") + error.what(), false);
  } catch (...) {
    show_error_box(kApplicationTitle, "Unexpected error", false);
  }
  --handler_depth_;
  if (handler_depth_ == 0 && (close_requested_ || ended_) && Form1_ != nullptr) DestroyWindow(Form1_);
}

HWND Form1Window::control(Control which) const {
  switch (which) {
    case Control::kCheck1: return Check1;
    case Control::kCheck2: return Check2;
    case Control::kChkNfo: return chkNfo;
    case Control::kCheck3: return Check3;
    case Control::kBtnBrowse: return btnBrowse;
    case Control::kBtnVerify: return btnVerify;
  }
  return nullptr;
}

HWND Form1Window::dialog_owner() const {
  return Form1_ != nullptr && IsWindowVisible(Form1_) ? Form1_ : nullptr;
}

// --- Form1View

void Form1Window::set_title(const std::string& title) {
  if (Form1_ != nullptr) SetWindowTextW(Form1_, wide_from_utf8(title).c_str());
}

void Form1Window::show_window() {
  if (Form1_ == nullptr || close_requested_ || ended_) return;
  // The first showing follows how the program was started (normal, minimised, ...).
  ShowWindow(Form1_, shown_ ? SW_SHOW : show_command_);
  shown_ = true;
  UpdateWindow(Form1_);
  SetForegroundWindow(Form1_);
  SetFocus(last_focus_ != nullptr ? last_focus_ : btnBrowse);
}

void Form1Window::set_label1(const std::string& text) {
  if (Label1 != nullptr) SetWindowTextW(Label1, wide_from_utf8(text).c_str());
}

CheckValue Form1Window::check_value(Control box) const {
  switch (SendMessageW(control(box), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return CheckValue::kChecked;
    case BST_INDETERMINATE: return CheckValue::kGreyed;
    default: return CheckValue::kUnchecked;
  }
}

void Form1Window::set_check_value(Control box, CheckValue value) {
  // BM_SETCHECK sends no BN_CLICKED: Form1 is not called back.
  WPARAM state = value == CheckValue::kChecked ? BST_CHECKED
                 : value == CheckValue::kGreyed ? BST_INDETERMINATE
                                                : BST_UNCHECKED;
  SendMessageW(control(box), BM_SETCHECK, state, 0);
}

bool Form1Window::is_enabled(Control which) const { return IsWindowEnabled(control(which)) != FALSE; }

void Form1Window::set_enabled(Control which, bool enabled) {
  HWND target = control(which);
  if (target == nullptr) return;
  // A disabled control cannot keep the focus: it moves on, or the keyboard would reach nothing.
  if (!enabled && GetFocus() == target) {
    EnableWindow(target, FALSE);
    HWND next = GetNextDlgTabItem(Form1_, target, FALSE);
    if (next != nullptr && next != target) SetFocus(next);
    else SetFocus(Form1_);
    return;
  }
  if (!enabled && last_focus_ == target) last_focus_ = nullptr;
  EnableWindow(target, enabled ? TRUE : FALSE);
}

void Form1Window::set_verify_caption(const std::string& caption) {
  SetWindowTextW(btnVerify, wide_from_utf8(caption).c_str());
}

void Form1Window::set_outcome(const std::string& text, Outcome worst) {
  if (Outcome_ == nullptr) return;
  const long rgb = outcome_rgb(worst);
  outcome_colour_ = rgb < 0 ? CLR_INVALID : RGB(rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff);
  // Cut to the control's width in its own font, so that where the report went stays in view.
  RECT box{};
  GetClientRect(Outcome_, &box);
  HDC dc = GetDC(Outcome_);
  HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(Outcome_, WM_GETFONT, 0, 0)));
  const std::string shown = fit_outcome(text, box.right - box.left, [dc](const std::string& piece) {
    const std::wstring wide = wide_from_utf8(piece);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  });
  SelectObject(dc, old_font);
  ReleaseDC(Outcome_, dc);
  SetWindowTextW(Outcome_, wide_from_utf8(shown).c_str());
  InvalidateRect(Outcome_, nullptr, TRUE);
}

void Form1Window::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  show_cursor_now();
}

// The pointer changes at once when it is over the window, not only when it next moves.
void Form1Window::show_cursor_now() {
  if (Form1_ == nullptr) return;
  POINT at;
  if (!GetCursorPos(&at)) return;
  HWND under = WindowFromPoint(at);
  if (under == Form1_ || (under != nullptr && IsChild(Form1_, under)))
    SetCursor(LoadCursorW(nullptr, busy_ ? IDC_WAIT : IDC_ARROW));
}

void Form1Window::yield() {
  MSG message;
  for (int i = 0; i < kMessagesPerYield && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (message.message == WM_QUIT) {
      // For the message loop, once the run has returned.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (Form1_ != nullptr && IsDialogMessageW(Form1_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::string Form1Window::BrowseForFolder(const std::string& prompt, const std::string& start_folder) {
  return browse_for_folder_dialog(prompt, start_folder);
}

std::string Form1Window::OpenChecksumFileDialog(const std::string& prompt, const std::string& folder) {
  return open_checksum_file_dialog(dialog_owner(), prompt, folder);
}

bool Form1Window::show_error_box(const std::string& title, const std::string& text, bool offer_silence) {
  return error_box(dialog_owner(), title, text, offer_silence, kSilenceErrorsText);
}

bool Form1Window::ask_yes_no(const std::string& title, const std::string& text) {
  return yes_no_box(dialog_owner(), title, text);
}

std::string Form1Window::report_path() { return qn::report_path(); }

bool Form1Window::open_report(const std::string& path) { return open_with_notepad(dialog_owner(), path); }

void Form1Window::show_report_in_window(const std::string& path, const std::string& text) {
  report_window_.show(dialog_owner(), path, text);
}

std::string Form1Window::home_folder() { return user_profile_folder(); }

void Form1Window::register_shell() { register_at_startup("", platform::program_file_path()); }

void Form1Window::end_program() {
  // The handler that called this returns at once; the window goes when it has.
  ended_ = true;
  if (Form1_ != nullptr) ShowWindow(Form1_, SW_HIDE);
}

}  // namespace qn
