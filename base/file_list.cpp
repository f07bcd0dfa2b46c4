#include "base/file_list.h"

#include <algorithm>

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

SortedIndex::SortedIndex(const FileList& list) : list_(&list) {
  folded_.reserve(list.size());
  for (std::size_t i = 1; i < list.size(); ++i)
    folded_.emplace_back(text::to_upper(list[i]), static_cast<std::int32_t>(i));
  std::sort(folded_.begin(), folded_.end());
}

int SortedIndex::SortedLookup(const std::string& key) const {
  const std::string folded = text::to_upper(key);
  auto it = std::lower_bound(folded_.begin(), folded_.end(), folded,
                             [](const auto& e, const std::string& k) { return e.first < k; });
  int first_unclaimed = -1;
  for (; it != folded_.end() && it->first == folded; ++it) {
    const std::string& element = (*list_)[it->second];
    if (element.empty()) continue;  // claimed
    if (element == key) return it->second;
    if (first_unclaimed < 0) first_unclaimed = it->second;
  }
  return first_unclaimed;
}

int SortedIndex::first_lookup(const std::string& key) const {
  const std::string folded = text::to_upper(key);
  auto it = std::lower_bound(folded_.begin(), folded_.end(), folded,
                             [](const auto& e, const std::string& k) { return e.first < k; });
  // Equal folded texts stand in list order, so the first unclaimed one is the answer.
  for (; it != folded_.end() && it->first == folded; ++it)
    if (!(*list_)[it->second].empty()) return it->second;
  return -1;
}

int SortedLookup(const FileList& list, const std::string& key) {
  return SortedIndex(list).SortedLookup(key);
}

}  // namespace qn
