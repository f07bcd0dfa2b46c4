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

namespace qn::platform {

namespace fs = std::filesystem;

std::string program_file_path() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return utf8_from_wide(std::wstring(buffer.data(), n));
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

std::string choose_report_path(const std::string& program_folder, const std::string& fallback_folder,
                               bool program_folder_is_users) {
  std::string beside_program = AddBackslash(program_folder) + kReportFileName;
  const bool beside = program_folder_is_users && !program_folder.empty();
  if (beside && can_write_file(beside_program)) return beside_program;
  if (fallback_folder.empty()) return beside_program;
  std::error_code ec;
  fs::create_directories(native_path(fallback_folder), ec);
  std::string in_state = AddBackslash(fallback_folder) + kReportFileName;
  if (can_write_file(in_state)) return in_state;
  return beside ? beside_program : in_state;
}

bool installed_by_installer(const std::string& program_folder) {
  std::error_code ec;
  return fs::exists(native_path(AddBackslash(program_folder) + "Uninstall.exe"), ec);
}

bool takes_users_reports(unsigned owner_uid, unsigned user_uid) { return owner_uid == user_uid && user_uid != 0; }

std::string make_new_folder(const std::string& parent, const std::string& name, std::error_code& error) {
  for (int n = 1; n <= 1000; ++n) {
    std::string folder = AddBackslash(parent) + name + (n == 1 ? std::string() : " (" + std::to_string(n) + ")");
    // Fails on any name that exists, a link included: an existing folder is never taken.
    if (fs::create_directory(native_path(folder), error)) return folder + kSep;
    if (error && error != std::errc::file_exists) return {};
    error.clear();
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

std::string report_path() {
#ifdef _WIN32
  // An installed program lies under Program Files, which only administrators may write.
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  std::string fallback = local && *local ? utf8_from_wide(local) + "\\Quarnell Verify" : std::string();
#else
  fs::path state = xdg_base_dir("XDG_STATE_HOME", ".local/state");
  std::string fallback = state.empty() ? std::string() : (state / "quarnell-verify").string();
#endif
  const std::string program = program_folder();
#ifdef _WIN32
  // An installed copy (its uninstaller beside it) keeps no reports: the uninstaller would leave
  // them, and with them the program's folder. A portable copy the user can write takes them.
  const bool users = !program.empty() && !installed_by_installer(program);
#else
  struct stat st {};
  const bool users = !program.empty() && system_calls().stat(program.c_str(), &st) == 0 &&
                     takes_users_reports(st.st_uid, geteuid());
#endif
  return choose_report_path(program, fallback, users);
}

}  // namespace qn::platform
