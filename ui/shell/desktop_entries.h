#pragma once
// The texts of the freedesktop file association: the desktop entry that puts "Quarnell Verify"
// into the file manager's "Open With" menu for .mp3, .jpg and .qn files, the shared-mime-info
// package that defines the .qn type, the icon, and the default-application line of mimeapps.list.
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
std::string desktop_entry_text(std::string_view executable_path);

// The shared-mime-info package defining the .qn type.
std::string mime_package_text();

// Our icon, a scalable drawing.
std::string_view icon_svg_text();

// `mimeapps` with `desktop_id` put first in the [Default Applications] list of `mime_type`. Other
// lines are kept as they are; the group or the line is added when missing, and `desktop_id` is
// not listed twice.
std::string set_default_application(std::string_view mimeapps, std::string_view mime_type,
                                    std::string_view desktop_id);

}  // namespace qn
