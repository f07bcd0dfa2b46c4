#include "platform/user_files.h"

#include <cstdlib>
#include <system_error>

#include "base/step_error.h"
#include "platform/file_access.h"
#include "platform/output_file.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qn::platform {

namespace fs = std::filesystem;

namespace {
// The settings and desktop files this layer keeps are a few kilobytes.
constexpr std::uint64_t kMaxUserFileSize = 16u << 20;
}  // namespace

fs::path xdg_base_dir(const char* var, const char* fallback_under_home) {
  const char* value = std::getenv(var);
  // Relative values are invalid for these variables and must be ignored.
  if (value != nullptr && *value != '\0' && fs::path(value).is_absolute()) return fs::path(value);
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return fs::path(home) / fallback_under_home;
}

fs::path xdg_config_home() { return xdg_base_dir("XDG_CONFIG_HOME", ".config"); }

fs::path xdg_data_home() { return xdg_base_dir("XDG_DATA_HOME", ".local/share"); }

bool read_whole_file(const fs::path& file, std::string& content) {
  content.clear();
  std::error_code ec;
  fs::file_status status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) return true;
  if (ec || status.type() != fs::file_type::regular) return false;
  if (read_regular_file(file.string(), kMaxUserFileSize, content)) {
    content.clear();
    return false;
  }
  return true;
}

bool replace_file_contents(const fs::path& file, const std::string& content) {
  try {
    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(file, ec)) {
      target = fs::weakly_canonical(file, ec);
      if (ec) return false;
    }
    if (target.has_parent_path()) {
      fs::create_directories(target.parent_path(), ec);
      if (ec) return false;
    }
    return !platform::write_file_atomically(target.string(), content).has_value();
  } catch (...) {
    return false;
  }
}

bool program_in_system_location(const fs::path& program) {
#ifdef _WIN32
  (void)program;
  return false;
#else
  std::error_code ec;
  fs::path folder = fs::weakly_canonical(fs::absolute(program, ec), ec).parent_path();
  if (ec || folder.empty()) return false;
  const std::string text = folder.string() + "/";
  for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"})
    if (text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
  struct stat st {};
  if (system_calls().stat(folder.c_str(), &st) != 0) return false;
  return st.st_uid != geteuid();
#endif
}

}  // namespace qn::platform
