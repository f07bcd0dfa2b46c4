#pragma once
// The track matcher: finds the file a checksum entry names when its name on disk differs by a
// known variant (letter suffix, leading "The ", blanks, or a name rebuilt from the ID3v2 tag).
#include <map>
#include <string>
#include <vector>

#include "base/file_list.h"

namespace qn {

// The files of the folders that the tag step has searched, and the names it took from the tags of
// their tracks, kept for one run: each folder is listed and each tag read once, however many
// entries go unmatched.
class FolderListings {
 public:
  struct TagNames {
    std::string artist, title;
  };
  const FileList& files(const std::string& folder);
  // Lets the tag reader's StepError through (and keeps nothing then).
  const TagNames& tag_names(const std::string& path);

 private:
  std::map<std::string, FileList> listings_;
  std::map<std::string, TagNames> tags_;
};

// Index 1..N in found.list() of the file stored for the expected path, or -1. Throws StepError
// when the expected path has no "_" in its file name or no " - ", or when a name holds a "["
// without its "]"; lets the tag reader's StepError through. Without `listings` every call that
// reaches the tag step lists the folder anew.
int MatchTrackFile(const SortedIndex& found, const std::string& expected, FolderListings* listings = nullptr);

// Keeps the characters with codes 32..122, CR and LF, in order; drops every other.
std::string CleanTagText(const std::string& text);
// The text without its last n characters; the empty text when it is shorter than n.
std::string DropLastChars(const std::string& text, int n);

// The parts of the matcher, open for tests.
namespace match_track_detail {
// The candidates of the name variants (letter toggle, article toggle, both), in the order they
// are looked up, for an expected path whose doubled separators are already collapsed.
std::vector<std::string> name_variants(const std::string& expected);
// The pattern built from the tag of the one file found for the track prefix in the folder
// (folder ends in the separator): lower-cased, wildcards for suffix, article, commas, quotes.
std::string tag_pattern(const std::string& folder, const std::string& prefix,
                        const std::string& artist, const std::string& title);
}  // namespace match_track_detail

}  // namespace qn
