#pragma once
// The file search: the files of a folder (and optionally its sub-folders) whose names match a
// ";"-separated list of wildcard patterns. Entries of each folder are taken in byte order of their
// names, so results are the same on every machine. A missing folder gives an empty list; a folder
// that exists but cannot be read gives an empty list too, and is named in `problems` when the
// caller asks for them. Sub-folders reached through links are never entered.
#include <string>
#include <vector>

#include "base/file_list.h"

namespace qn::platform {

// A folder the search could not read: its path and the system's error number (ELOOP when the
// folder searched is a link and follow_top was false).
struct SearchProblem {
  std::string folder;
  int error = 0;
};

// The only entry point: widens the patterns (WidenPattern), searches, and returns a file list
// whose elements are folder (with its separator) + relative path. With follow_top false, a folder
// that is itself a link is not searched (a problem with ELOOP).
FileList FindFiles(const std::string& folder, const std::string& patterns, bool recurse,
                   std::vector<SearchProblem>* problems = nullptr, bool follow_top = true);

class WildcardList;

// One folder listed once, for several searches of it: each search gives what FindFiles with the
// same folder, follow_top and patterns gives (the problem of reading the folder included), while
// the folder itself is read only here. Sub-folders of a recursive search are listed as they are met.
class FolderListing {
 public:
  explicit FolderListing(const std::string& folder, bool follow_top = true);
  FileList find(const std::string& patterns, bool recurse, std::vector<SearchProblem>* problems = nullptr) const;

 private:
  struct Entry {
    std::string name;    // up to its first NUL
    std::string folded;  // upper-cased once, for every pattern matched against it
    bool directory = false;
    bool enter = false;
  };
  void search(const WildcardList& patterns, bool recurse, std::vector<std::string>& results,
              std::vector<SearchProblem>* problems) const;

  std::string base_;  // with its separator
  std::vector<Entry> entries_;
  int problem_ = 0;  // the error to report for the folder, or 0
};

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

// True when `path` names a folder, or a link to one.
bool is_folder(const std::string& path);
// The folder a path names: a folder as it is (with its separator), else the folder of the file.
std::string folder_named_by(const std::string& path);

// One entry of a folder as a search sees it.
struct SearchEntry {
  std::string name;
  bool directory = false;  // a folder, or a link to one: never taken for a file
  bool enter = false;      // a real folder, which a recursive search descends into
};

// The entries of `folder` in byte order of their names. Returns false with `error` set (an errno
// value) when the folder cannot be read; with follow_last false a folder that is a link is not read.
bool list_search_entries(const std::string& folder, std::vector<SearchEntry>& entries, int& error,
                         bool follow_last = true);

}  // namespace qn::platform
