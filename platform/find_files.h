#pragma once
// The file search: the files of a folder (and optionally its sub-folders) whose names match a
// ";"-separated list of wildcard patterns. Entries of each folder are taken in byte order of their
// names, so results are the same on every machine. It never fails: a missing or unreadable folder
// gives an empty list.
#include <string>

#include "base/file_list.h"

namespace qn {

// The only entry point: widens the patterns (WidenPattern), searches, and returns a file list
// whose elements are folder (with its separator) + relative path.
FileList FindFiles(const std::string& folder, const std::string& patterns, bool recurse);

// The two-/four-digit-year widening applied to the pattern list before a search.
std::string widen_pattern(const std::string& patterns);

// True when the file name matches at least one pattern of the list as a whole; "*" and "?" are
// wildcards, every other character matches itself without regard to letter case; blanks at the
// start of each piece are skipped.
bool MatchesPattern(const std::string& name, const std::string& patterns);

// The empty text for an empty path; the path when it ends in the separator; else path + separator.
std::string AddBackslash(const std::string& path);

// The text up to, not including, its first NUL.
std::string TrimAtNul(const std::string& s);

}  // namespace qn
