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

namespace qn {
namespace {

// The entries of one folder in byte order of their names; empty when it cannot be read, which is
// recorded in `problems` unless the folder does not exist.
std::vector<platform::SearchEntry> list_folder(const std::string& folder, bool follow,
                                               std::vector<SearchProblem>* problems) {
  std::vector<platform::SearchEntry> entries;
  int error = 0;
  if (!platform::list_search_entries(folder, entries, error, follow) && error != ENOENT && error != ENOTDIR &&
      problems) {
    problems->push_back({folder, error});
  }
  return entries;
}

// One piece of a ";" list: "*" any run, "?" one character, the rest without regard to case.
bool matches_wildcard(const std::string& name, const std::string& piece) {
  std::size_t n = 0, p = 0;
  std::size_t star_p = std::string::npos, star_n = 0;
  while (n < name.size()) {
    if (p < piece.size() && piece[p] == '*') {
      star_p = p++;
      star_n = n;
    } else if (p < piece.size() &&
               (piece[p] == '?' || text::upper_ascii(piece[p]) == text::upper_ascii(name[n]))) {
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

void SearchFolder(const std::string& folder, const std::string& patterns, std::vector<std::string>& results,
                  bool recurse, bool follow, std::vector<SearchProblem>* problems) {
  const std::string base = AddBackslash(folder);
  for (const platform::SearchEntry& entry : list_folder(base, follow, problems)) {
    if (!entry.directory) {
      const std::string name = TrimAtNul(entry.name);
      if (MatchesPattern(name, patterns)) results.push_back(base + name);
    } else if (recurse && entry.enter && !entry.name.empty() && entry.name[0] != '.') {
      SearchFolder(base + entry.name, patterns, results, true, false, problems);
    }
  }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == kSep) return path;
  return path + kSep;
}

std::string TrimAtNul(const std::string& s) { return s.substr(0, s.find('\0')); }

bool MatchesPattern(const std::string& name, const std::string& patterns) {
  for (const std::string& piece : text::split(patterns, ";")) {
    const std::size_t start = piece.find_first_not_of(' ');
    if (matches_wildcard(name, start == std::string::npos ? std::string() : piece.substr(start)))
      return true;
  }
  return false;
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
  std::vector<std::string> found;
  SearchFolder(folder, widen_pattern(patterns), found, recurse, follow_top, problems);
  FileList list = empty_file_list();
  list.insert(list.end(), found.begin(), found.end());
  return list;
}

bool is_folder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(platform::native_path(path), ec);
}

std::string folder_named_by(const std::string& path) {
  return is_folder(path) ? AddBackslash(path) : FolderOfPath(path);
}

namespace platform {

bool list_search_entries(const std::string& folder, std::vector<SearchEntry>& entries, int& error, bool follow_last) {
  entries.clear();
  std::vector<FolderEntry> listed;
  const bool read = list_folder(folder, listed, error, follow_last);
  for (FolderEntry& item : listed)
    entries.push_back({std::move(item.name), item.leads_to_folder, item.type == EntryType::kFolder});
  std::sort(entries.begin(), entries.end(), [](const SearchEntry& a, const SearchEntry& b) { return a.name < b.name; });
  return read;
}

}  // namespace platform
}  // namespace qn
