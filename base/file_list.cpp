#include "base/file_list.h"

#include <algorithm>
#include <string_view>

#include "base/paths.h"
#include "base/text.h"

namespace qn {

namespace {
bool ordinal_less(const std::string& a, const std::string& b) {
  // std::string compares through char_traits<char>::lt, which compares as unsigned char.
  return a < b;
}
}  // namespace

void SortFileList(FileList& list) {
  if (list.size() <= 2) return;
  // Any sort gives the exchange sort's order: equal elements are indistinguishable texts.
  std::sort(list.begin() + 1, list.end(), ordinal_less);
}

FileList MergeFileLists(const FileList* a, const FileList& b) {
  FileList merged = empty_file_list();
  if (a) merged.insert(merged.end(), a->begin() + (a->empty() ? 0 : 1), a->end());
  if (!b.empty()) merged.insert(merged.end(), b.begin() + 1, b.end());
  return merged;
}

int FindInFileList(const FileList& list, const std::string& key) {
  for (std::size_t i = 1; i < list.size(); ++i)
    if (text::iequals(list[i], key)) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> unclaimed_file_names(const FileList& list) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < list.size(); ++i)
    if (!list[i].empty()) names.push_back(FileNameOfPath(list[i]));
  return names;
}

std::string ListAdditionalFiles(const FileList& list) {
  std::string s;
  for (const std::string& name : unclaimed_file_names(list)) s += text::printable(name) + "\r\n";
  if (s.empty()) return s;
  return "\r\nAdditional Files Found\r\n" + s;
}

namespace {

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Compares an upper-cased text with a key upper-cased as it is read, byte by byte as unsigned
// values (the order of std::string's compare), so that a lookup needs no buffer.
int compare_folded(std::string_view folded, std::string_view key) {
  const std::size_t n = std::min(folded.size(), key.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(folded[i]);
    const auto b = static_cast<unsigned char>(fold(key[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return folded.size() == key.size() ? 0 : (folded.size() < key.size() ? -1 : 1);
}

}  // namespace

// The upper-cased texts stand in one buffer and are compared in place.
SortedIndex::SortedIndex(const FileList& list) : list_(&list) {
  std::size_t total = 0;
  for (std::size_t i = 1; i < list.size(); ++i) total += list[i].size();
  folded_text_.reserve(total);
  folded_.reserve(list.size());
  for (std::size_t i = 1; i < list.size(); ++i) {
    folded_.push_back({folded_text_.size(), list[i].size(), static_cast<std::int32_t>(i)});
    for (char c : list[i]) folded_text_.push_back(fold(c));
  }
  const std::string_view text(folded_text_);
  std::sort(folded_.begin(), folded_.end(), [text](const Folded& a, const Folded& b) {
    const int order = text.substr(a.offset, a.length).compare(text.substr(b.offset, b.length));
    return order != 0 ? order < 0 : a.index < b.index;
  });
}

std::vector<SortedIndex::Folded>::const_iterator SortedIndex::lower_bound(std::string_view key) const {
  const std::string_view text(folded_text_);
  return std::lower_bound(folded_.begin(), folded_.end(), key, [text](const Folded& e, std::string_view k) {
    return compare_folded(text.substr(e.offset, e.length), k) < 0;
  });
}

bool SortedIndex::folded_equals(const Folded& entry, std::string_view key) const {
  return entry.length == key.size() && compare_folded(std::string_view(folded_text_).substr(entry.offset, entry.length), key) == 0;
}

int SortedIndex::SortedLookup(const std::string& key) const {
  int first_unclaimed = -1;
  for (auto it = lower_bound(key); it != folded_.end() && folded_equals(*it, key); ++it) {
    const std::string& element = (*list_)[it->index];
    if (element.empty()) continue;  // claimed
    if (element == key) return it->index;
    if (first_unclaimed < 0) first_unclaimed = it->index;
  }
  return first_unclaimed;
}

int SortedIndex::first_lookup(const std::string& key) const {
  // Equal folded texts stand in list order, so the first unclaimed one is the answer.
  for (auto it = lower_bound(key); it != folded_.end() && folded_equals(*it, key); ++it)
    if (!(*list_)[it->index].empty()) return it->index;
  return -1;
}

int SortedLookup(const FileList& list, const std::string& key) {
  return SortedIndex(list).SortedLookup(key);
}

}  // namespace qn
