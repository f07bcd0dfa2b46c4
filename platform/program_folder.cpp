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

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qn::platform {

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
void make_missing_folders(const std::string& folder) {
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
    if (n < buffer.size()) return utf8_from_wide(std::wstring(buffer.data(), n));
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

std::string user_state_folder() {
#ifdef _WIN32
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  return local && *local ? platform::utf8_from_wide(local) : std::string();
#else
  return xdg_base_dir("XDG_STATE_HOME", ".local/state").string();
#endif
}

bool can_append_to(const std::string& path) { return static_cast<bool>(FileHandle(path, "ab")); }

bool make_folders(const std::string& folder) {
  make_missing_folders(folder);
#ifdef _WIN32
  struct _stat64 st {};
#else
  struct stat st {};
#endif
  return platform::system_calls().stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

bool path_exists(const std::string& path) {
#ifdef _WIN32
  struct _stat64 st {};
#else
  struct stat st {};
#endif
  return platform::system_calls().stat(path.c_str(), &st) == 0;
}

bool folder_owner(const std::string& folder, unsigned& owner_uid, unsigned& user_uid) {
#ifdef _WIN32
  (void)folder;
  (void)owner_uid;
  (void)user_uid;
  return false;
#else
  struct stat st {};
  if (folder.empty() || platform::system_calls().stat(folder.c_str(), &st) != 0) return false;
  owner_uid = st.st_uid;
  user_uid = platform::system_calls().geteuid();
  return true;
#endif
}

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

}  // namespace qn::platform
