#include "platform/program_folder.h"

#include "platform/file_handle.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "base/paths.h"
#include "platform/file_access.h"
#include "platform/find_files.h"
#include "platform/user_files.h"
#include "platform/wide_text.h"

namespace qn {

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
#else
constexpr const char* kSeparators = "/";
#endif

// A new folder; false with errno set (EEXIST when the name is taken by anything).
bool make_folder(const std::string& folder) {
  errno = 0;
  return platform::system_calls().mkdir(folder.c_str(), 0777) == 0;
}

// Makes the folders of `folder` that are missing, from the top down; what cannot be made shows
// when the folder is used.
void make_folders(const std::string& folder) {
  for (std::size_t at = folder.find_first_of(kSeparators, 1); ; at = folder.find_first_of(kSeparators, at + 1)) {
    make_folder(folder.substr(0, at));
    if (at == std::string::npos) return;
  }
}

}  // namespace

std::string program_file_path() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(260);
  for (;;) {
    const unsigned long n = platform::system_calls().module_file_name(buffer.data(), static_cast<unsigned long>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return platform::utf8_from_wide(std::wstring(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
#else
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = platform::system_calls().readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
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
  make_folders(fallback_folder);
  std::string in_state = AddBackslash(fallback_folder) + kReportFileName;
  if (can_write_file(in_state)) return in_state;
  return beside ? beside_program : in_state;
}

bool installed_by_installer(const std::string& program_folder) {
#ifdef _WIN32
  struct _stat64 st {};
#else
  struct stat st {};
#endif
  return platform::system_calls().stat((AddBackslash(program_folder) + "Uninstall.exe").c_str(), &st) == 0;
}

bool takes_users_reports(unsigned owner_uid, unsigned user_uid) { return owner_uid == user_uid && user_uid != 0; }

std::string make_new_folder(const std::string& parent, const std::string& name, std::error_code& error) {
  for (int n = 1; n <= 1000; ++n) {
    std::string folder = AddBackslash(parent) + name + (n == 1 ? std::string() : " (" + std::to_string(n) + ")");
    // Fails on any name that exists, a link included: an existing folder is never taken.
    if (make_folder(folder)) {
      error.clear();
      return folder + kSep;
    }
    error = std::error_code(errno ? errno : EIO, std::generic_category());
    if (error != std::errc::file_exists) return {};
    error.clear();
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

std::string report_path() {
#ifdef _WIN32
  // An installed program lies under Program Files, which only administrators may write.
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  std::string fallback = local && *local ? platform::utf8_from_wide(local) + "\\Quarnell Verify" : std::string();
#else
  const std::filesystem::path state = xdg_base_dir("XDG_STATE_HOME", ".local/state");
  std::string fallback = state.empty() ? std::string() : (state / "quarnell-verify").string();
#endif
  const std::string program = program_folder();
#ifdef _WIN32
  // An installed copy (its uninstaller beside it) keeps no reports: the uninstaller would leave
  // them, and with them the program's folder. A portable copy the user can write takes them.
  const bool users = !program.empty() && !installed_by_installer(program);
#else
  struct stat st {};
  const bool users = !program.empty() && platform::system_calls().stat(program.c_str(), &st) == 0 &&
                     takes_users_reports(st.st_uid, platform::system_calls().geteuid());
#endif
  return choose_report_path(program, fallback, users);
}

}  // namespace qn
