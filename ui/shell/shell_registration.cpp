#include "ui/shell/shell_registration.h"

#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "platform/file_access.h"
#include "platform/find_files.h"
#include "platform/run_tool.h"
#include "platform/user_files.h"
#include "ui/shell/desktop_entries.h"

namespace qn {

namespace fs = std::filesystem;

namespace {

// Folder (ending in the separator) and executable name without its extension.
std::string program_stem(const std::string& executable_path) {
  std::string name = FileNameOfPath(executable_path);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return platform::AddBackslash(FolderOfPath(executable_path)) + name;
}

void write_resource_default(const fs::path& config_home) {
  fs::path mimeapps = config_home / "mimeapps.list";
  std::string old_text;
  if (!platform::read_whole_file(mimeapps, old_text)) return;  // never overwrite what we could not read
  std::string new_text =
      set_default_application(old_text, kResourceMimeType, kDesktopId);
  if (new_text != old_text) platform::replace_file_contents(mimeapps, new_text);
}

// Our own file, replaced whole; `executable` for the file managers that run only such files.
bool write_own_file(const fs::path& file, const std::string& content, bool executable) {
  if (!platform::replace_file_contents(file, content)) return false;
  if (!executable) return true;
  std::error_code ec;
  fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, ec);
  return true;
}

// Without the database tool, a cache written for an earlier entry of ours would keep claiming
// audio and image files for us; take us out of it by hand.
void drop_stale_claims(const fs::path& applications, std::string_view kept_type) {
  fs::path cache = applications / "mimeinfo.cache";
  std::error_code ec;
  if (!fs::is_regular_file(cache, ec)) return;
  std::string old_text;
  if (!platform::read_whole_file(cache, old_text)) return;
  std::string new_text = drop_from_mime_cache(old_text, kDesktopId, kept_type);
  if (new_text != old_text) platform::replace_file_contents(cache, new_text);
}

}  // namespace

std::string shell_command_text(const std::string& executable_path) {
  return program_stem(executable_path) + ".exe %1";
}

std::string shell_icon_text(const std::string& executable_path) {
  return program_stem(executable_path) + ".exe,0";
}

void register_in_registry(RegistryClass& registry, const std::string& executable_path) {
  const std::string type_name(kResourceTypeName);
  const std::string type_key = "Software\\Classes\\" + type_name;
  std::string data = shell_command_text(executable_path);
  registry.SetKeyValue(registry.HKEY_LOCAL_MACHINE(),
                       "SOFTWARE\\Classes\\SystemFileAssociations\\.mp3\\Shell\\Quarnell "
                       "Verify\\command",
                       registry.RegSZ(), "", data);
  data = shell_command_text(executable_path);
  registry.SetKeyValue(registry.HKEY_LOCAL_MACHINE(),
                       "SOFTWARE\\Classes\\SystemFileAssociations\\.jpg\\Shell\\Quarnell "
                       "Verify\\command",
                       registry.RegSZ(), "", data);
  data = shell_command_text(executable_path);
  registry.SetKeyValue(registry.HKEY_CURRENT_USER(), type_key + "\\shell\\open\\command",
                       registry.RegSZ(), "", data);
  data = type_name;
  registry.SetKeyValue(registry.HKEY_CURRENT_USER(), "Software\\Classes\\.qn", registry.RegSZ(),
                       "", data);
  data = type_name;
  registry.SetKeyValue(registry.HKEY_CURRENT_USER(), type_key, registry.RegSZ(),
                       "FriendlyTypeName", data);
  data = shell_icon_text(executable_path);
  registry.SetKeyValue(registry.HKEY_CURRENT_USER(), type_key + "\\DefaultIcon", registry.RegSZ(),
                       "", data);
}

namespace {

// Each file a start writes under $XDG_DATA_HOME, with its content for the program `exe`; the
// desktop entry and the mime package are at these places of the list.
constexpr std::size_t kEntryFile = 0;
constexpr std::size_t kMimeFile = 4;
struct OwnFile {
  fs::path file;
  std::string content;
  bool executable;
};

std::vector<OwnFile> own_files(const fs::path& data_home, const std::string& exe) {
  return {
      // The entry's MIME types are only the .qn type; rewriting it also withdraws the audio and
      // image types that earlier versions claimed there.
      {data_home / "applications" / kDesktopId, desktop_entry_text(exe), false},
      {data_home / "kio" / "servicemenus" / kDesktopId, service_menu_text(exe), true},
      {data_home / "nautilus" / "scripts" / kVerbName, nautilus_script_text(exe), true},
      {data_home / "nemo" / "actions" / "quarnell-verify.nemo_action", nemo_action_text(exe), false},
      {data_home / "mime" / "packages" / "quarnell-verify.xml", mime_package_text(), false},
      {data_home / "icons" / "hicolor" / "scalable" / "apps" / (std::string(kIconName) + ".svg"),
       std::string(icon_svg_text()), false},
  };
}

// Removes `file` when it is a regular file holding exactly `content`; notes it in `done`.
void remove_if_holding(const fs::path& file, const std::string& content, std::vector<fs::path>& done) {
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(file, ec))) return;
  std::string held;
  if (!platform::read_whole_file(file, held) || held != content) return;
  if (platform::remove_file(file.string())) done.push_back(file);
}

// The files update-mime-database builds from the packages folder: the database proper, and the
// description of our type.
constexpr const char* kMimeDatabaseFiles[] = {
    "aliases", "generic-icons", "globs", "globs2", "icons", "magic", "mime.cache", "subclasses",
    "treemagic", "types", "version", "XMLnamespaces", "application/x-quarnell-resource.xml"};

// After our package left `mime`/packages: the database is built again from what is left there;
// when nothing is left, the database was ours alone and goes.
void refresh_mime_database(const fs::path& mime, std::vector<fs::path>& done) {
  std::error_code ec;
  if (!fs::is_empty(mime / "packages", ec) || ec) {
    platform::run_tool_if_present("update-mime-database", {mime.string()});
    return;
  }
  for (const char* name : kMimeDatabaseFiles) {
    fs::path file = mime / name;
    if (fs::is_regular_file(fs::symlink_status(file, ec)) && platform::remove_file(file.string()))
      done.push_back(file);
  }
}

}  // namespace

void register_with_desktop(const std::string& executable_path) {
  if (executable_path.empty()) return;
  std::error_code ec;
  fs::path exe = fs::absolute(fs::path(executable_path), ec);
  if (ec) return;

  fs::path data_home = platform::xdg_data_home();
  if (!data_home.empty()) {
    fs::path applications = data_home / "applications";
    fs::path mime = data_home / "mime";
    const std::vector<OwnFile> files = own_files(data_home, exe.string());
    std::vector<bool> written;
    for (const OwnFile& f : files) written.push_back(write_own_file(f.file, f.content, f.executable));
    const bool desktop_ok = written[kEntryFile];
    const bool mime_ok = written[kMimeFile];
    if (mime_ok) platform::run_tool_if_present("update-mime-database", {mime.string()});
    if (desktop_ok && !platform::run_tool_if_present("update-desktop-database", {applications.string()}))
      drop_stale_claims(applications, kResourceMimeType);
  }

  fs::path config_home = platform::xdg_config_home();
  if (!config_home.empty()) write_resource_default(config_home);
}

void register_at_startup(const std::string& command_line, const std::string& executable_path) {
  if (!command_line.empty()) return;
  try {
#ifdef _WIN32
    RegistryClass registry;
    register_in_registry(registry, executable_path);
#else
    if (!platform::program_in_system_location(executable_path)) register_with_desktop(executable_path);
#endif
  } catch (...) {
    // A registration that cannot be written must never stop the start-up.
  }
}

std::vector<fs::path> unregister_from_desktop(const std::string& executable_path) {
  std::vector<fs::path> done;
  if (executable_path.empty()) return done;
  std::error_code ec;
  fs::path exe = fs::absolute(fs::path(executable_path), ec);
  if (ec) return done;

  fs::path data_home = platform::xdg_data_home();
  if (!data_home.empty()) {
    bool desktop_gone = false;
    bool mime_gone = false;
    const std::vector<OwnFile> files = own_files(data_home, exe.string());
    for (std::size_t i = 0; i < files.size(); ++i) {
      const OwnFile& f = files[i];
      // Ours only while it holds what a start writes: a file the user changed, or a link put in
      // its place, stays.
      if (!fs::is_regular_file(fs::symlink_status(f.file, ec))) continue;
      std::string content;
      if (!platform::read_whole_file(f.file, content) || content != f.content) continue;
      if (!platform::remove_file(f.file.string())) continue;
      done.push_back(f.file);
      desktop_gone = desktop_gone || i == kEntryFile;
      mime_gone = mime_gone || i == kMimeFile;
    }
    fs::path applications = data_home / "applications";
    if (mime_gone) refresh_mime_database(data_home / "mime", done);
    if (desktop_gone) {
      if (!platform::run_tool_if_present("update-desktop-database", {applications.string()}))
        drop_stale_claims(applications, "");
      // A cache that lists no application any more was made for ours alone.
      remove_if_holding(applications / "mimeinfo.cache", "[MIME Cache]\n", done);
    }
  }

  fs::path config_home = platform::xdg_config_home();
  if (!config_home.empty()) {
    fs::path mimeapps = config_home / "mimeapps.list";
    std::string old_text;
    if (fs::is_regular_file(fs::symlink_status(mimeapps, ec)) && platform::read_whole_file(mimeapps, old_text)) {
      std::string new_text = remove_default_application(old_text, kResourceMimeType, kDesktopId);
      if (new_text != old_text &&
          (new_text.empty() ? platform::remove_file(mimeapps.string()) : platform::replace_file_contents(mimeapps, new_text)))
        done.push_back(mimeapps);
    }
  }
  return done;
}

}  // namespace qn
