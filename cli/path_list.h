#pragma once
// The PATHs of the command line: "-" stands for the paths read from standard input, one per line
// (or separated by NUL bytes, as `find -print0` writes them).
#include <istream>
#include <string>
#include <vector>

namespace qn::cli {

// The longest path taken from standard input; a longer one is refused rather than kept growing.
inline constexpr std::size_t kMaxListedPath = 32 * 1024;

// Reads the paths from `in`, separated by `separator` ('\n' or '\0'); with '\n' a CR before it is
// dropped too. Empty paths are skipped. Returns false with `error` set when a path is too long or,
// with '\n', holds a NUL byte.
bool read_path_list(std::istream& in, char separator, std::vector<std::string>& paths, std::string& error);

// The text with the line ends of this platform's standard output: CR LF becomes LF, except on
// Windows, where a lone LF becomes CR LF.
std::string platform_line_ends(const std::string& text);

}  // namespace qn::cli
