#pragma once
// The user's per-user folders (freedesktop base directories) and whole-file reads and writes for
// the small settings-like files we keep there.
#include <filesystem>
#include <string>

namespace qn::platform {

// The folder named by the environment variable `var` when it holds an absolute path; otherwise
// $HOME + "/" + fallback (e.g. ".config"); empty when neither is usable.
std::filesystem::path xdg_base_dir(const char* var, const char* fallback_under_home);
std::filesystem::path xdg_config_home();  // $XDG_CONFIG_HOME, default ~/.config
std::filesystem::path xdg_data_home();    // $XDG_DATA_HOME, default ~/.local/share

// Reads the whole file. A missing file gives true and an empty text; a file that exists but
// cannot be read (or is not a regular file) gives false.
bool read_whole_file(const std::filesystem::path& file, std::string& content);

// Creates the missing parent folders, writes a temporary file beside `file` and renames it over
// the old one, so readers see either the old or the new content. A symbolic link is followed, so
// the file it points at is replaced, not the link. Never throws; false on any failure.
bool replace_file_contents(const std::filesystem::path& file, const std::string& content);

// True when the executable at `program` lies where a package or an administrator put it: its
// folder, links resolved, is below /usr, /bin, /sbin, /opt or /snap, or belongs to another user
// than the one running. A build tree or a portable copy of the user's own gives false, as does a
// folder that cannot be looked at. Always false on Windows.
bool program_in_system_location(const std::filesystem::path& program);

}  // namespace qn::platform
