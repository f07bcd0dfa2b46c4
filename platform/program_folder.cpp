#include "platform/program_folder.h"

#include "platform/file_handle.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/paths.h"
#include "platform/file_access.h"
#include "platform/find_files.h"
#include "platform/user_files.h"
#include "platform/wide_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qn {

namespace fs = std::filesystem;

std::string program_file_path() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return platform::utf8_from_wide(std::wstring(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
#else
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
#endif
}

std::string program_folder() { return FolderOfPath(program_file_path()); }

namespace {

// Opening for appending leaves an existing report as it is and tells whether it can be written.
bool can_write_file(const std::string& path) {
  return static_cast<bool>(FileHandle(path, "ab"));
}

}  // namespace

std::string choose_report_path(const std::string& program_folder, const std::string& fallback_folder) {
  std::string beside_program = AddBackslash(program_folder) + kReportFileName;
  if (!program_folder.empty() && can_write_file(beside_program)) return beside_program;
  if (fallback_folder.empty()) return beside_program;
  std::error_code ec;
  fs::create_directories(platform::native_path(fallback_folder), ec);
  std::string in_state = AddBackslash(fallback_folder) + kReportFileName;
  if (can_write_file(in_state)) return in_state;
  return program_folder.empty() ? in_state : beside_program;
}

std::string report_path() {
#ifdef _WIN32
  // An installed program lies under Program Files, which only administrators may write.
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  std::string fallback = local && *local ? platform::utf8_from_wide(local) + "\\Quarnell Verify" : std::string();
#else
  fs::path state = xdg_base_dir("XDG_STATE_HOME", ".local/state");
  std::string fallback = state.empty() ? std::string() : (state / "quarnell-verify").string();
#endif
  return choose_report_path(program_folder(), fallback);
}

}  // namespace qn
