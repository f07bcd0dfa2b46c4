#pragma once
// File lists: element 0 is always empty and not a file, elements 1..N are full paths. A run claims
// an element by setting it to the empty text. Sizes are not limited to 16 bits.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qn {

using FileList = std::vector<std::string>;

// A list holding element 0 only.
inline FileList empty_file_list() { return FileList(1); }
// N, the number of files (the list's upper index).
inline int file_count(const FileList& list) { return list.empty() ? 0 : static_cast<int>(list.size()) - 1; }

// Elements 1..N in ascending ordinal (unsigned byte) order; element 0 untouched.
void SortFileList(FileList& list);
// A's elements 1..N(A), then B's elements 1..N(B); A may be no list at all (nullptr).
FileList MergeFileLists(const FileList* a, const FileList& b);
// First index 1..N whose element equals key without regard to letter case, or -1.
int FindInFileList(const FileList& list, const std::string& key);
// The "Additional Files Found" trailer for the unclaimed elements, or the empty text.
std::string ListAdditionalFiles(const FileList& list);
// File names (without folder) of the unclaimed elements, in list order.
std::vector<std::string> unclaimed_file_names(const FileList& list);

// Letter-case-blind lookup over a sorted file list. It finds every present, unclaimed element
// equal to the key without regard to letter case, in O(log N); claims made on the list after the
// index was built are seen, since a claimed element is empty. When several elements differ only in
// letter case, one equal byte for byte to the key is preferred, else the first in list order.
class SortedIndex {
 public:
  explicit SortedIndex(const FileList& list);
  const FileList& list() const { return *list_; }
  // Index of the element, or -1.
  int SortedLookup(const std::string& key) const;
  // What FindInFileList gives, in O(log N): the first unclaimed element in list order equal to key
  // without regard to letter case, or -1.
  int first_lookup(const std::string& key) const;

 private:
  struct Folded {
    std::size_t offset = 0;  // of the element's upper-cased text in folded_text_
    std::size_t length = 0;
    std::int32_t index = 0;
  };
  // The first entry whose upper-cased text is not less than the key's.
  std::vector<Folded>::const_iterator lower_bound(std::string_view key) const;
  bool folded_equals(const Folded& entry, std::string_view key) const;

  const FileList* list_;
  std::string folded_text_;     // every element upper-cased, one after another
  std::vector<Folded> folded_;  // by upper-cased text, then index
};

// One-off lookup (builds a temporary index).
int SortedLookup(const FileList& list, const std::string& key);

}  // namespace qn
