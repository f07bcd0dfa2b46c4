#include "naming/match_track.h"

#include <functional>

#include "base/paths.h"
#include "base/step_error.h"
#include "base/text.h"
#include "id3v2/cMP3ID3v2.h"
#include "naming/pattern_match.h"
#include "naming/track_key.h"
#include "platform/find_files.h"

namespace qn {
namespace {

constexpr std::string_view kDash = " - ";
// The most the tag step takes of a tag field or of a track prefix. Real artists, titles and
// prefixes are a few hundred bytes at most and a file name holds 255 characters, so every real
// name stays whole, while a field of megabytes costs no more than one of a kilobyte.
constexpr std::size_t kMostTagName = 1024;
using LookUp = std::function<int(const std::string&)>;

// Mid(s, pos) with a 0-based position: the empty text beyond the end.
std::string from(const std::string& s, std::size_t pos) {
  return pos >= s.size() ? std::string() : s.substr(pos);
}

// The first len(P0) - 1 characters of P0, then C from that position on with the first `x`
// replaced by `y`: the folder and the track prefix stay, only what follows is edited.
std::string tail_edit(const std::string& p0, const std::string& c, std::string_view x, std::string_view y) {
  const std::size_t keep = p0.empty() ? 0 : p0.size() - 1;
  return p0.substr(0, keep) + text::replace_first(from(c, keep), x, y);
}

// The expected path without its letter suffix; a "u" suffix is never taken from the first
// character.
std::string without_suffix(const std::string& e, const std::string& letters) {
  return text::replace_first(e, letters, "", letters == "u" ? 1 : 0);
}

// Steps 3 to 9: the name variants, each looked up as soon as it is built.
int try_name_variants(const std::string& e, const LookUp& look_up) {
  const std::vector<std::string> parts = text::split(e, kDash);
  const std::string& p0 = parts[0];
  const std::string letters = TrackKey(p0, true);

  const std::string toggled = letters.empty() ? text::replace_first(e, kDash, "a - ")
                                              : text::replace_first(e, letters + " - ", kDash);
  if (int at = look_up(toggled); at != -1) return at;

  if (parts.size() < 2)
    throw StepError(kErrSubscript, "track match: no artist after \" - \" in " + e);
  const std::string& p1 = parts[1];
  const bool article = text::left(p1, 3) == "The";
  const std::string article_toggled = text::trim_blanks(text::left(p1, 3)) == "The"
                                          ? tail_edit(p0, e, "The ", "")
                                          : tail_edit(p0, e, kDash, " - The ");
  if (int at = look_up(article_toggled); at != -1) return at;

  const std::string suffix_toggled =
      letters.empty() ? text::replace_first(e, kDash, "a - ") : without_suffix(e, letters);
  const std::string both = article ? tail_edit(p0, suffix_toggled, "The ", "")
                                   : tail_edit(p0, suffix_toggled, kDash, " - The ");
  return look_up(both);
}

// Step 2: E inside exactly one entry (entry 0 counted) and equal to one of 1..N.
int unique_exact(const FileList& list, const std::string& e) {
  int holding = 0;
  for (const std::string& entry : list)
    if (text::contains(entry, e)) ++holding;
  if (holding != 1) return -1;
  for (std::size_t i = 1; i < list.size(); ++i)
    if (list[i] == e) return static_cast<int>(i);
  return -1;
}

std::string without_blanks(const std::string& s) { return text::replace_all(s, " ", ""); }

// The text as a pattern that matches only itself: every wildcard character stands in a list.
std::string literal_pattern(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '?' || c == '*' || c == '#' || c == '[') out += std::string("[") + c + "]";
    else out += c;
  }
  return out;
}

// Where the file name of a path begins: after its last separator.
std::size_t name_start(const std::string& path) {
  const std::size_t last = path.rfind(kSep);
  return last == std::string::npos ? 0 : last + 1;
}

// Step 10: both sides without blanks and upper-cased, the expected path as the pattern; only its
// name part holds wildcards, the folder part ("#", "[" and all) matches itself.
int blank_free_match(const FileList& list, const std::string& e) {
  if (list.size() < 2) return -1;
  const std::size_t name_at = name_start(e);
  // Read once: the expected path comes from the checksum line and may be megabytes long.
  const CompiledPattern pattern(literal_pattern(text::to_upper(without_blanks(e.substr(0, name_at)))) +
                                text::to_upper(without_blanks(e.substr(name_at))));
  for (std::size_t i = 1; i < list.size(); ++i)
    if (pattern.matches(text::to_upper(without_blanks(list[i])))) return static_cast<int>(i);
  return -1;
}

// Every occurrence of `from` (ASCII letter case ignored), left to right, becomes `to`.
std::string replace_all_nocase(const std::string& s, std::string_view from, std::string_view to) {
  const std::string folded = text::to_upper(s);
  const std::string key = text::to_upper(from);
  std::string out;
  std::size_t start = 0;
  for (std::size_t at; (at = folded.find(key, start)) != std::string::npos; start = at + key.size()) {
    out.append(s, start, at - start);
    out.append(to);
  }
  out.append(s, start);
  return out;
}

// Where the folder ends and the track prefix begins: the first "\u" of the path. With "/" as the
// separator, "/u" starts many ordinary folder paths ("/usr", "/home/user"), so there only the
// separator in front of the file name counts.
std::size_t track_prefix_start(const std::string& e) {
  if constexpr (kSep == '\\') return e.find("\\u");
  const std::size_t last = e.rfind(kSep);
  if (last == std::string::npos || last + 1 >= e.size() || e[last + 1] != 'u') return std::string::npos;
  return last;
}

// Step 11: the pattern rebuilt from the tag of the one MP3 file that starts with the prefix.
int tag_based_match(const FileList& list, const std::string& e, const std::string& p0, FolderListings& listings) {
  const std::size_t sep_u = track_prefix_start(e);
  if (sep_u == std::string::npos) return -1;
  const std::string folder = e.substr(0, sep_u + 1);
  const std::string prefix = from(p0, sep_u + 1);
  if (prefix.size() > kMostTagName) return -1;
  // What a search of the folder for prefix + "*.mp3" finds, from the folder's one listing.
  const std::string patterns = platform::widen_pattern(prefix + "*.mp3");
  FileList candidates = empty_file_list();
  for (const std::string& path : listings.files(folder)) {
    if (!path.empty() && platform::MatchesPattern(FileNameOfPath(path), patterns)) candidates.push_back(path);
    if (file_count(candidates) > 1) return -1;
  }
  if (file_count(candidates) != 1) return -1;

  const FolderListings::TagNames& names = listings.tag_names(candidates[1]);
  const std::string pattern_text = match_track_detail::tag_pattern(folder, prefix, names.artist, names.title);
  if (pattern_text.empty() || list.size() < 2) return -1;
  const CompiledPattern pattern(pattern_text);
  for (std::size_t i = 1; i < list.size(); ++i)
    if (pattern.matches(text::to_lower(list[i]))) return static_cast<int>(i);
  return -1;
}

}  // namespace

namespace match_track_detail {

std::vector<std::string> name_variants(const std::string& expected) {
  std::vector<std::string> tried;
  try_name_variants(expected, [&](const std::string& c) {
    tried.push_back(c);
    return -1;
  });
  return tried;
}

std::string tag_pattern(const std::string& folder, const std::string& prefix,
                        const std::string& artist, const std::string& title) {
  // The folder matches itself; the rules below edit the name part only.
  std::string c = prefix + " - " + CleanTagText(artist + " - " + title) + ".mp3";
  const std::size_t q = c.find(kDash);
  // One letter suffix (or any single character) may follow a position number.
  if (q > 0 && c[q - 1] >= '0' && c[q - 1] <= '9') c = text::replace_first(c, kDash, "? - ");
  c = text::replace_all(c, ",", "?");
  c = text::replace_all(c, "'", "?");
  c = replace_all_nocase(c, " the ", "*");
  c = replace_all_nocase(c, " a ", "*");
  c = text::replace_first(c, ".mp3", "*.mp3");
  c = text::replace_first(c, kDash, " - *");
  return text::to_lower(literal_pattern(folder) + c);
}

}  // namespace match_track_detail

std::string CleanTagText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto code = static_cast<unsigned char>(ch);
    if ((code >= 32 && code <= 122) || code == 13 || code == 10) out.push_back(ch);
  }
  return out;
}

std::string DropLastChars(const std::string& text, int n) {
  if (n <= 0) return text;
  const auto count = static_cast<std::size_t>(n);
  return text.size() >= count ? text.substr(0, text.size() - count) : std::string();
}

const FileList& FolderListings::files(const std::string& folder) {
  auto it = listings_.find(folder);
  if (it == listings_.end()) it = listings_.emplace(folder, platform::FindFiles(folder, "*", false)).first;
  return it->second;
}

const FolderListings::TagNames& FolderListings::tag_names(const std::string& path) {
  auto it = tags_.find(path);
  if (it == tags_.end()) {
    // Only the start of each field is read: the tag is not loaded, its frames are passed over.
    std::vector<std::string> texts = read_cut_fields(path, {"TPE1", "TIT2"}, kMostTagName);
    it = tags_.emplace(path, TagNames{std::move(texts[0]), std::move(texts[1])}).first;
  }
  return it->second;
}

int MatchTrackFile(const SortedIndex& found, const std::string& expected, FolderListings* listings) {
  const FileList& list = found.list();
  const std::string sep(1, kSep);
  const std::string e = text::replace_all(expected, sep + sep, sep);

  if (int at = unique_exact(list, e); at != -1) return at;
  const auto look_up = [&](const std::string& c) { return found.SortedLookup(c); };
  if (int at = try_name_variants(e, look_up); at != -1) return at;
  if (int at = blank_free_match(list, e); at != -1) return at;
  FolderListings own;
  return tag_based_match(list, e, text::split(e, kDash)[0], listings ? *listings : own);
}

}  // namespace qn
