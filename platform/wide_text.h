#pragma once
// Texts between our UTF-8 bytes and the UTF-16 of the Windows wide calls, and paths for the file
// system library. Bytes that are not UTF-8 become U+FFFD on the way in; nothing else is changed.
#include <filesystem>
#include <string>

namespace qn::platform {

#ifdef _WIN32
std::wstring wide_from_utf8(const std::string& text);
std::string utf8_from_wide(const std::wstring& text);

// A path text for the wide file calls. Bytes that are UTF-8 are read as UTF-8; a text that is not
// (a name from a checksum file written in the system's 8-bit code page) is read in that code page.
// A path too long for the plain form gets the "\\?\" form, made absolute and with "\" throughout.
std::wstring wide_path(const std::string& path);
#endif

// The path of a text for std::filesystem. On Windows the library would read the bytes of a
// narrow text one by one as characters; this reads them as wide_path does (without "\\?\").
std::filesystem::path native_path(const std::string& path);

// A line of a checksum file in the form the folder listing gives names. On Windows names are
// listed in UTF-8, so a line that is not UTF-8 (written in the system's 8-bit code page, as older
// checksum files are) is converted to UTF-8, field by field around the byte FF that separates the
// fields of label lines; everywhere else, and for UTF-8, the bytes stay.
std::string listing_text(std::string line);

}  // namespace qn::platform
