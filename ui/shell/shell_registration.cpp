#include "ui/shell/shell_registration.h"

#include <filesystem>
#include <system_error>

#include "base/paths.h"
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
  return AddBackslash(FolderOfPath(executable_path)) + name;
}

void write_resource_default(const fs::path& config_home) {
  fs::path mimeapps = config_home / "mimeapps.list";
  std::string old_text;
  if (!read_whole_file(mimeapps, old_text)) return;  // never overwrite what we could not read
  std::string new_text =
      set_default_application(old_text, kResourceMimeType, kDesktopId);
  if (new_text != old_text) replace_file_contents(mimeapps, new_text);
}

// Our own file, replaced whole; `executable` for the file managers that run only such files.
void write_own_file(const fs::path& file, const std::string& content, bool executable) {
  if (!replace_file_contents(file, content) || !executable) return;
  std::error_code ec;
  fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, ec);
}

// Without the database tool, a cache written for an earlier entry of ours would keep claiming
// audio and image files for us; take us out of it by hand.
void drop_stale_claims(const fs::path& applications) {
  fs::path cache = applications / "mimeinfo.cache";
  std::error_code ec;
  if (!fs::is_regular_file(cache, ec)) return;
  std::string old_text;
  if (!read_whole_file(cache, old_text)) return;
  std::string new_text = drop_from_mime_cache(old_text, kDesktopId, kResourceMimeType);
  if (new_text != old_text) replace_file_contents(cache, new_text);
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

void register_with_desktop(const std::string& executable_path) {
  if (executable_path.empty()) return;
  std::error_code ec;
  fs::path exe = fs::absolute(fs::path(executable_path), ec);
  if (ec) return;

  fs::path data_home = xdg_data_home();
  if (!data_home.empty()) {
    fs::path applications = data_home / "applications";
    fs::path mime = data_home / "mime";
    // The entry's MIME types are only the .qn type; rewriting it also withdraws the audio and
    // image types that earlier versions claimed there.
    bool desktop_ok = replace_file_contents(applications / (std::string(kDesktopId)),
                                            desktop_entry_text(exe.string()));
    write_own_file(data_home / "kio" / "servicemenus" / kDesktopId, service_menu_text(exe.string()), true);
    write_own_file(data_home / "nautilus" / "scripts" / kVerbName, nautilus_script_text(exe.string()), true);
    write_own_file(data_home / "nemo" / "actions" / "quarnell-verify.nemo_action",
                   nemo_action_text(exe.string()), false);
    bool mime_ok = replace_file_contents(mime / "packages" / "quarnell-verify.xml",
                                         mime_package_text());
    replace_file_contents(
        data_home / "icons" / "hicolor" / "scalable" / "apps" / (std::string(kIconName) + ".svg"),
        std::string(icon_svg_text()));
    if (mime_ok) run_tool_if_present("update-mime-database", {mime.string()});
    if (desktop_ok && !run_tool_if_present("update-desktop-database", {applications.string()}))
      drop_stale_claims(applications);
  }

  fs::path config_home = xdg_config_home();
  if (!config_home.empty()) write_resource_default(config_home);
}

void register_at_startup(const std::string& command_line, const std::string& executable_path) {
  if (!command_line.empty()) return;
  try {
#ifdef _WIN32
    RegistryClass registry;
    register_in_registry(registry, executable_path);
#else
    register_with_desktop(executable_path);
#endif
  } catch (...) {
    // A registration that cannot be written must never stop the start-up.
  }
}

}  // namespace qn
