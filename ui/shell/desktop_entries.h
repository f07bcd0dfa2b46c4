#pragma once
// The texts of the freedesktop file association: the desktop entry that opens .qn files, the
// right-click "Quarnell Verify" of the file managers (a Dolphin service menu, a Nautilus script,
// a Nemo action) for .mp3, .jpg and .qn files and folders, the shared-mime-info package that
// defines the .qn type, the icon, and the default-application line of mimeapps.list. Nothing here
// claims audio or image types: the music player and the image viewer stay the user's defaults.
#include <string>
#include <string_view>

namespace qn {

inline constexpr std::string_view kDesktopId = "quarnell-verify.desktop";
inline constexpr std::string_view kIconName = "quarnell-verify";
inline constexpr std::string_view kResourceMimeType = "application/x-quarnell-resource";
inline constexpr std::string_view kResourceTypeName = "Quarnell Resource File";
inline constexpr std::string_view kVerbName = "Quarnell Verify";

// One argument of a desktop entry's Exec key, quoted and escaped so that it reaches the program
// unchanged whatever blanks, quote marks, "$", "%" or "\" it holds.
std::string desktop_exec_argument(std::string_view argument);

// The desktop entry; Exec starts `executable_path` with the clicked file as its one argument.
// Its only MIME type is the .qn type.
std::string desktop_entry_text(std::string_view executable_path);

// The right-click entries; each starts `executable_path` with the clicked file or folder.
std::string service_menu_text(std::string_view executable_path);  // kio/servicemenus/
std::string nautilus_script_text(std::string_view executable_path);  // nautilus/scripts/
std::string nemo_action_text(std::string_view executable_path);  // nemo/actions/

// `text` as one word of a POSIX shell, in single quotes.
std::string shell_quoted(std::string_view text);

// A mimeinfo.cache of a desktop database with `desktop_id` taken out of every type's list except
// `kept_type`; lines left without an application go. Used where the database tool is missing, so
// that claims written by an earlier version do not outlive it.
std::string drop_from_mime_cache(std::string_view cache, std::string_view desktop_id,
                                 std::string_view kept_type);

// The shared-mime-info package defining the .qn type.
std::string mime_package_text();

// Our icon, a scalable drawing.
std::string_view icon_svg_text();

// `mimeapps` with `desktop_id` put first in the [Default Applications] list of `mime_type`. Other
// lines are kept as they are; the group or the line is added when missing, and `desktop_id` is
// not listed twice.
std::string set_default_application(std::string_view mimeapps, std::string_view mime_type,
                                    std::string_view desktop_id);

// `mimeapps` with `desktop_id` taken out of the [Default Applications] list of `mime_type`: the
// line goes when nothing else is listed on it, the group when no line is left in it (with the
// blank line before it). Every other line is kept byte for byte.
std::string remove_default_application(std::string_view mimeapps, std::string_view mime_type,
                                       std::string_view desktop_id);

}  // namespace qn
