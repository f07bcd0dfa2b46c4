#pragma once
// Path helpers over texts. Checksum files come from Windows and write "\" between folders; we use
// the native separator everywhere and turn every "\" of a checksum line into it as the line is read.
#include <string>
#include <string_view>

namespace qn {

#ifdef _WIN32
inline constexpr char kSep = '\\';
inline constexpr std::string_view kSepText = "\\";
#else
inline constexpr char kSep = '/';
inline constexpr std::string_view kSepText = "/";
#endif

// No system takes a longer path (Windows' long paths stop here, POSIX systems far below): a name
// longer than this names no file.
inline constexpr std::size_t kMaxPathLength = 32767;

// Every "\" becomes the native separator (a no-op on Windows).
std::string to_native_separators(std::string_view s);

// The text up to and including its last separator; empty when it holds none.
std::string FolderOfPath(std::string_view path);
// The text after its last separator; the whole text when it holds none.
std::string FileNameOfPath(std::string_view path);
// Without a leading "u" or "U" (first character only), blanks trimmed at both ends.
std::string StripLeadingU(std::string_view s);

}  // namespace qn
