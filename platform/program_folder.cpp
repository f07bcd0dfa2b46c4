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
  std::error_code ec;
  fs::create_directories(platform::native_path(folder), ec);
  return fs::is_directory(platform::native_path(folder), ec);
}

bool path_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(platform::native_path(path), ec);
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
  user_uid = geteuid();
  return true;
#endif
}

std::string make_new_folder(const std::string& parent, const std::string& name, std::error_code& error) {
  for (int n = 1; n <= 1000; ++n) {
    std::string folder = AddBackslash(parent) + name + (n == 1 ? std::string() : " (" + std::to_string(n) + ")");
    // Fails on any name that exists, a link included: an existing folder is never taken.
    if (fs::create_directory(platform::native_path(folder), error)) return folder + kSep;
    if (error && error != std::errc::file_exists) return {};
    error.clear();
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

}  // namespace qn
