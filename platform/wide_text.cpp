#include "platform/wide_text.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>

namespace qn::platform {

namespace {

// The 8-bit code page of the system, whatever the program's own manifest makes GetACP() say.
unsigned system_ansi_code_page() {
  static const unsigned kCodePage = [] {
    DWORD code_page = 0;
    if (GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&code_page), sizeof(code_page) / sizeof(wchar_t)) == 0 ||
        code_page == 0)
      code_page = 1252;
    return static_cast<unsigned>(code_page);
  }();
  return kCodePage;
}

std::wstring wide_in(unsigned code_page, DWORD flags, const std::string& text) {
  const int size = MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// The text in UTF-16, as described for wide_path but without the long form.
std::wstring wide_name(const std::string& path) {
  if (path.empty()) return {};
  std::wstring wide = wide_in(CP_UTF8, MB_ERR_INVALID_CHARS, path);
  if (wide.empty()) wide = wide_in(system_ansi_code_page(), 0, path);
  if (wide.empty()) wide = wide_from_utf8(path);
  return wide;
}

// Below this length every call takes the plain form (CreateDirectory stops 12 short of MAX_PATH).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

}  // namespace

std::wstring wide_from_utf8(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string utf8_from_wide(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring wide_path(const std::string& path) {
  std::wstring wide = wide_name(path);
  if (wide.size() < kPlainPathLimit || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  // The long form is taken literally by the system: no "/", ".", ".." or relative start in it.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (n == 0 || n >= size) return wide;
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(wide_name(path)); }

std::string listing_text(std::string line) {
  // Most lines are ASCII but for the field separator: nothing to convert.
  if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80 || c == '\xFF'; }))
    return line;
  // Field by field: the byte FF that separates the fields of label lines is no character here.
  std::string result;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = line.find('\xFF', start);
    const std::string field = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::wstring wide;
    if (!field.empty() && wide_in(CP_UTF8, MB_ERR_INVALID_CHARS, field).empty())
      wide = wide_in(system_ansi_code_page(), 0, field);
    result += wide.empty() ? field : utf8_from_wide(wide);
    if (end == std::string::npos) return result;
    result += '\xFF';
    start = end + 1;
  }
}

}  // namespace qn::platform

#else

namespace qn::platform {

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(path); }

std::string listing_text(std::string line) { return line; }

}  // namespace qn::platform

#endif
