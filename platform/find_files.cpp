#include "platform/find_files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/paths.h"
#include "base/text.h"
#include "platform/file_access.h"
#include "platform/wide_text.h"

namespace qn::platform {

// A ";" list of wildcard pieces, read once: blanks at the start of each piece skipped, letters
// upper-cased, so that matching an upper-cased name compares bytes only.
class WildcardList {
 public:
  explicit WildcardList(const std::string& patterns) {
    std::size_t at = 0;
    for (;;) {
      const std::size_t end = std::min(patterns.find(';', at), patterns.size());
      std::size_t start = at;
      while (start < end && patterns[start] == ' ') ++start;
      pieces_.push_back(text::to_upper(std::string_view(patterns).substr(start, end - start)));
      if (end == patterns.size()) break;
      at = end + 1;
    }
  }
  bool matches_folded(std::string_view folded) const {
    for (const std::string& piece : pieces_)
      if (matches_piece(folded, piece)) return true;
    return false;
  }

 private:
  // "*" any run, "?" one character, every other character itself.
  static bool matches_piece(std::string_view name, std::string_view piece) {
    std::size_t n = 0, p = 0;
    std::size_t star_p = std::string::npos, star_n = 0;
    while (n < name.size()) {
      if (p < piece.size() && piece[p] == '*') {
        star_p = p++;
        star_n = n;
      } else if (p < piece.size() && (piece[p] == '?' || piece[p] == name[n])) {
        ++p;
        ++n;
      } else if (star_p != std::string::npos) {
        p = star_p + 1;
        n = ++star_n;
      } else {
        return false;
      }
    }
    while (p < piece.size() && piece[p] == '*') ++p;
    return p == piece.size();
  }

  std::vector<std::string> pieces_;
};

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == kSep) return path;
  return path + kSep;
}

std::string TrimAtNul(const std::string& s) { return s.substr(0, s.find('\0')); }

bool MatchesPattern(const std::string& name, const std::string& patterns) {
  return WildcardList(patterns).matches_folded(text::to_upper(name));
}

FolderListing::FolderListing(const std::string& folder, bool follow_top) : base_(AddBackslash(folder)) {
  std::vector<SearchEntry> listed;
  int error = 0;
  if (!list_search_entries(base_, listed, error, follow_top) && error != ENOENT && error != ENOTDIR)
    problem_ = error;
  entries_.reserve(listed.size());
  for (SearchEntry& item : listed) {
    Entry entry;
    entry.name = std::move(item.name);
    entry.directory = item.directory;
    entry.enter = item.enter;
    if (!entry.directory && entry.name.find('\0') != std::string::npos) entry.name = TrimAtNul(entry.name);
    if (!entry.directory) entry.folded = text::to_upper(entry.name);
    entries_.push_back(std::move(entry));
  }
}

void FolderListing::search(const WildcardList& patterns, bool recurse, std::vector<std::string>& results,
                           std::vector<SearchProblem>* problems) const {
  if (problem_ != 0 && problems) problems->push_back({base_, problem_});
  for (const Entry& entry : entries_) {
    if (!entry.directory) {
      if (patterns.matches_folded(entry.folded)) results.push_back(base_ + entry.name);
    } else if (recurse && entry.enter && !entry.name.empty() && entry.name[0] != '.') {
      FolderListing(base_ + entry.name, false).search(patterns, true, results, problems);
    }
  }
}

FileList FolderListing::find(const std::string& patterns, bool recurse, std::vector<SearchProblem>* problems) const {
  FileList list = empty_file_list();
  search(WildcardList(widen_pattern(patterns)), recurse, list, problems);
  return list;
}

// Tracks are named with two- or four-digit years; widening makes a search find both forms.
// Only the start of the whole text is looked at, so only the first pattern of a list changes.
std::string widen_pattern(const std::string& patterns) {
  const std::string& p = patterns;
  if (p.size() >= 3 && is_digit(p[1]) && is_digit(p[2])) {
    const int year = (p[1] - '0') * 10 + (p[2] - '0');
    if (year >= 59 && year <= 67) {
      const std::string two = p.substr(1, 2);
      return p + ";" + text::replace_all(p, two + "_", "19" + two + "_");
    }
  }
  if (!p.empty() && p[0] == 'u' && text::contains(p, "_")) {
    std::string q = text::replace_first(p, "u19", "u");
    if (q.substr(1, 2) == "EP") return q;
    return q.substr(0, 1) + "*" + q.substr(1);
  }
  return p;
}

FileList FindFiles(const std::string& folder, const std::string& patterns, bool recurse,
                   std::vector<SearchProblem>* problems, bool follow_top) {
  return FolderListing(folder, follow_top).find(patterns, recurse, problems);
}

bool is_folder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(native_path(path), ec);
}

std::string folder_named_by(const std::string& path) {
  return is_folder(path) ? AddBackslash(path) : FolderOfPath(path);
}

bool list_search_entries(const std::string& folder, std::vector<SearchEntry>& entries, int& error, bool follow_last) {
  entries.clear();
  std::vector<FolderEntry> listed;
  const bool read = list_folder(folder, listed, error, follow_last);
  for (FolderEntry& item : listed)
    entries.push_back({std::move(item.name), item.leads_to_folder, item.type == EntryType::kFolder});
  std::sort(entries.begin(), entries.end(), [](const SearchEntry& a, const SearchEntry& b) { return a.name < b.name; });
  return read;
}

}  // namespace qn::platform
