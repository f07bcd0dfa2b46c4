#include "ui/window/win32/dialogs.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "platform/wide_text.h"
#include "ui/window/form1.h"

namespace qn {

using platform::utf8_from_wide;
using platform::wide_from_utf8;

namespace {

// Paths may be longer than MAX_PATH (the manifest declares long paths).
constexpr DWORD kPathCapacity = 32768;

std::string cut_at_nul(const std::vector<wchar_t>& buffer) {
  return utf8_from_wide(std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
}

int CALLBACK select_start_folder(HWND dialog, UINT message, LPARAM, LPARAM start_folder) {
  if (message == BFFM_INITIALIZED && start_folder != 0)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start_folder);
  return 0;
}

// TaskDialogIndirect lives in version 6 of the common controls only (the manifest asks for it);
// looked up at run time so that the program still starts where it is missing.
using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectCall task_dialog_call() {
  HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  if (controls == nullptr) return nullptr;
  return reinterpret_cast<TaskDialogIndirectCall>(
      reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")));
}


}  // namespace

std::string browse_for_folder_dialog(const std::string& prompt, const std::string& start_folder) {
  std::wstring title = wide_from_utf8(prompt);
  std::wstring start = wide_from_utf8(start_folder);
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
  info.lpfn = select_start_folder;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (item == nullptr) return {};
  std::vector<wchar_t> path(kPathCapacity, L'\0');
  BOOL ok = SHGetPathFromIDListEx(item, path.data(), kPathCapacity, GPFIDL_DEFAULT);
  CoTaskMemFree(item);
  return ok ? cut_at_nul(path) : std::string();
}

std::string open_checksum_file_dialog(HWND owner, const std::string& prompt, const std::string& folder) {
  // One description and pattern pair, each ending in NUL; c_str() adds the closing NUL.
  std::wstring filter = L"Quarnell Checksum Files (*.qn)";
  filter.push_back(L'\0');
  filter += L"*.QN";
  filter.push_back(L'\0');
  std::wstring title = wide_from_utf8(prompt);
  std::wstring initial_folder = wide_from_utf8(folder);
  std::vector<wchar_t> file(kPathCapacity, L'\0');

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  // The one pair is the first; an index past the pairs is not something to rely on.
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kPathCapacity;
  dialog.lpstrInitialDir = initial_folder.empty() ? nullptr : initial_folder.c_str();
  dialog.lpstrTitle = title.c_str();
  // The process's current folder stays as it was: an empty folder text means it to the file search.
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 OFN_DONTADDTORECENT;
  if (!GetOpenFileNameW(&dialog)) return {};
  return cut_at_nul(file);
}

bool error_box(HWND owner, const std::string& title, const std::string& text, bool offer_silence,
               const std::string& silence_text) {
  std::wstring wide_title = wide_from_utf8(title);
  std::wstring wide_text = wide_from_utf8(text);
  std::wstring silence = wide_from_utf8(silence_text);
  bool whole = true;
  std::wstring head = wide_from_utf8(error_box_head(text, whole));

  if (TaskDialogIndirectCall task_dialog = task_dialog_call(); task_dialog != nullptr && (offer_silence || !whole)) {
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = wide_title.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = head.c_str();
    if (!whole) config.pszExpandedInformation = wide_text.c_str();
    if (offer_silence) config.pszVerificationText = silence.c_str();
    BOOL silenced = FALSE;
    if (SUCCEEDED(task_dialog(&config, nullptr, nullptr, &silenced))) return silenced != FALSE;
  }
  // Without the task dialog the error keeps its OK box; the offer comes after it as a question of
  // its own, so that no button of the error box itself means "hold back".
  MessageBoxW(owner, wide_text.c_str(), wide_title.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  if (!offer_silence) return false;
  std::wstring question = silence + L"?";
  return MessageBoxW(owner, question.c_str(), wide_title.c_str(),
                     MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

bool yes_no_box(HWND owner, const std::string& title, const std::string& text) {
  return MessageBoxW(owner, wide_from_utf8(text).c_str(), wide_from_utf8(title).c_str(),
                     MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

// Notepad by its full path in the system folder: a bare name would be looked up in the current
// folder first, which after a right-click start is the collection folder, written by anyone.
std::wstring notepad_program() {
  std::vector<wchar_t> folder(kPathCapacity, L'\0');
  const UINT n = GetSystemDirectoryW(folder.data(), kPathCapacity);
  if (n == 0 || n >= kPathCapacity) return {};
  return std::wstring(folder.data(), n) + L"\\notepad.exe";
}

bool open_with_notepad(HWND owner, const std::string& path) {
  std::wstring file = wide_from_utf8(path);
  const std::wstring program = notepad_program();
  // Quoted: the report's own name holds a blank, and every Notepad strips the quote marks.
  std::wstring command = L"\"" + program + L"\" \"" + file + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!program.empty() && CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }
  HINSTANCE opened = ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(opened) > 32;
}

std::string user_profile_folder() {
  std::vector<wchar_t> folder(kPathCapacity, L'\0');
  DWORD n = GetEnvironmentVariableW(L"USERPROFILE", folder.data(), kPathCapacity);
  if (n == 0 || n >= kPathCapacity) return {};
  return cut_at_nul(folder);
}

}  // namespace qn
