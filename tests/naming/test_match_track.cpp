#include "naming/match_track.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access.h"
#include "support/fixtures.h"

namespace qn {
namespace {

using match_track_detail::name_variants;
using match_track_detail::tag_pattern;
using Names = std::vector<std::string>;

// A folder text without the letter "a" (and without a separator followed by "u").
const std::string kDir = std::string("X") + kSep + "Music" + kSep;

int match(FileList list, const std::string& expected) {
  SortFileList(list);
  SortedIndex index(list);
  const int at = MatchTrackFile(index, expected);
  EXPECT_NE(at, 0);
  return at;
}

TEST(MatchTrackFile, NameVariantsOfTheWorkedExamples) {
  EXPECT_EQ(name_variants(kDir + "u1964_001 - The Marlins - Help.mp3"),
            (Names{kDir + "u1964_001a - The Marlins - Help.mp3", kDir + "u1964_001 - Marlins - Help.mp3",
                   kDir + "u1964_001a - Marlins - Help.mp3"}));
  EXPECT_EQ(name_variants(kDir + "u1964_001a - Marlins - Help.mp3"),
            (Names{kDir + "u1964_001 - Marlins - Help.mp3", kDir + "u1964_001a - The Marlins - Help.mp3",
                   kDir + "u1964_001 - The Marlins - Help.mp3"}));
  EXPECT_EQ(name_variants(kDir + "u1964_001a - The Marlins - Help.mp3"),
            (Names{kDir + "u1964_001 - The Marlins - Help.mp3", kDir + "u1964_001a - Marlins - Help.mp3",
                   kDir + "u1964_001 - Marlins - Help.mp3"}));
}

TEST(MatchTrackFile, ArticleTestIsCaseSensitiveAndSuffixRemovalStartsAtFirstOccurrence) {
  EXPECT_EQ(name_variants(kDir + "u1964_001 - the Marlins - Help.mp3")[1],
            kDir + "u1964_001 - The the Marlins - Help.mp3");
  // An "a" in the folder is removed instead of the suffix; the kept prefix still comes from the
  // expected path, so the candidate is the same.
  const std::string charts = std::string("X") + kSep + "Charts" + kSep;
  EXPECT_EQ(name_variants(charts + "u1964_001a - Marlins - Help.mp3")[2],
            charts + "u1964_001 - The Marlins - Help.mp3");
  // A "u" suffix is never taken from the first character.
  EXPECT_EQ(name_variants("u1964_001u - Marlins - Help.mp3")[2], "u1964_001 - The Marlins - Help.mp3");
}

TEST(MatchTrackFile, FindsVariantsInTheFoundList) {
  const std::string hit = kDir + "u1964_001a - Marlins - Help.mp3";
  EXPECT_EQ(match({"", kDir + "u1964_002.mp3", hit}, kDir + "u1964_001 - The Marlins - Help.mp3"), 1);
  // Doubled separators are collapsed before anything else; a unique exact name is found at once.
  const std::string doubled = std::string("X") + kSep + kSep + "Music" + kSep + "u1964_001a - Marlins - Help.mp3";
  EXPECT_EQ(match({"", kDir + "u1.mp3", hit}, doubled), 2);
  EXPECT_EQ(match({"", kDir + "u1964_009 - Other - Song.mp3"}, kDir + "u1964_001 - The Marlins - Help.mp3"), -1);
}

TEST(MatchTrackFile, BlankFreeStepIgnoresBlanksAndLetterCase) {
  EXPECT_EQ(match({"", kDir + "U1964_001 - ARTIST -TITLE.MP3"}, kDir + "u1964_001 - Artist - Title.mp3"), 1);
  EXPECT_EQ(match({"", kDir + "u1964_002 - Artist - Title.mp3"}, kDir + "u1964_001 - Artist - Title.mp3"), -1);
}

TEST(MatchTrackFile, ErrorsLeaveTheMatcher) {
  FileList list{"", kDir + "u1964_009 - Other - Song.mp3"};
  SortedIndex index(list);
  try {
    MatchTrackFile(index, kDir + "u1964_001 - Art[ist - Title.mp3");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), kErrPatternInvalid);
  }
  EXPECT_THROW(MatchTrackFile(index, kDir + "u1964_001.mp3"), StepError);      // no " - "
  EXPECT_THROW(MatchTrackFile(index, kDir + "u1964 - A - T.mp3"), StepError);  // no "_"
  // The letter toggle is still looked up before the missing artist is noticed (two entries hold
  // the expected path, so the unique-name step is skipped).
  FileList toggled{"", kDir + "u1964_001.mp3", kDir + "u1964_001.mp3.bak"};
  SortedIndex toggled_index(toggled);
  EXPECT_EQ(MatchTrackFile(toggled_index, kDir + "u1964_001.mp3"), 1);
}

TEST(MatchTrackFile, NeverReturnsEntryZero) {
  const std::string e = kDir + "u1964_001 - Artist - Title.mp3";
  EXPECT_EQ(match({e}, e), -1);
  EXPECT_EQ(match({e, ""}, e), -1);
}

TEST(CleanTagText, KeepsPrintableUpToLowerZAndLineBreaks) {
  EXPECT_EQ(CleanTagText("Ab {x|y}~\x7F\xE9\tz\r\n!"), "Ab xyz\r\n!");
  EXPECT_EQ(DropLastChars("abc.jpg", 4), "abc");
  EXPECT_EQ(DropLastChars("abc", 4), "");
  EXPECT_EQ(DropLastChars("abcd", 4), "");
  EXPECT_EQ(DropLastChars("abc", 0), "abc");
}

TEST(MatchTrackFile, TagPatternWildcards) {
  EXPECT_EQ(tag_pattern(kDir, "u1964_001", "Artist", "Title"),
            "x" + std::string(1, kSep) + "music" + kSep + "u1964_001? - *artist - title*.mp3");
  EXPECT_EQ(tag_pattern("", "u1964_001b", "Salt, Pepper", "Don't Go"), "u1964_001b - *salt? pepper - don?t go*.mp3");
  EXPECT_EQ(tag_pattern("", "u1964_001", "Joe And THE Band", "In A Day"), "u1964_001? - *joe and*band - in*day*.mp3");
  EXPECT_EQ(tag_pattern("", "u1964_001", "", ""), "u1964_001? - * - *.mp3");
  // The folder matches itself: its "[", "#", "?", " - " and " The " are no wildcards.
  EXPECT_EQ(tag_pattern("Top [#1] - The Best?/", "u1964_001", "Ann", "Bo"),
            "top [[][#]1] - the best[?]/u1964_001? - *ann - bo*.mp3");
}

TEST(MatchTrackFile, WildcardCharactersInTheFolderPartMatchOnlyThemselves) {
  const std::string folder = "Top [1] #" + std::string(1, kSep);
  const std::string expected = folder + "u1964_001 - Alpha - One.mp3";
  // Blanks differ in the name: step 10 finds the track in its own folder...
  EXPECT_EQ(match({"", folder + "u1964_001 -Alpha- One.mp3"}, expected), 1);
  // ...and never in a folder that the folder's text would match as a pattern.
  EXPECT_EQ(match({"", "Top 1 7" + std::string(1, kSep) + "u1964_001 -Alpha- One.mp3"}, expected), -1);
}

TEST(MatchTrackFile, TagOfTheOneFileForThePrefixFindsTheTrack) {
  test::TempFolder dir("match");
  // A folder path holding a separator followed by "u", as "/usr" or "/home/user" do.
  dir.make_folder("uploads");
  const std::string folder = (dir.path() / "uploads").string() + kSep;
  const std::string stored = "u1964_001b - The Artist - Title (Remix).mp3";
  std::filesystem::copy_file(std::string(QN_TEST_DATA_DIR) + "/naming/tagged_artist_title.mp3",
                             dir.path() / "uploads" / stored);
  dir.make_file("uploads/u1964_002 - Other - Song.mp3");
  const FileList list{"", folder + stored, folder + "u1964_002 - Other - Song.mp3"};
  // With "\\" as the separator the folder is cut at its first "\\u", so "\\uploads" hides the track.
  const int expected = kSep == '\\' ? -1 : 1;
  EXPECT_EQ(match(list, folder + "u1964_001 - Artist - Title.mp3"), expected);
  // No file for the prefix, or no separator followed by "u": nothing.
  EXPECT_EQ(match(list, folder + "u1964_003 - Artist - Title.mp3"), -1);
  EXPECT_EQ(match({"", "u1964_001b - The Artist - Title (Remix).mp3"}, "u1964_001 - Artist - Title.mp3"), -1);
}


#ifndef _WIN32
// An ID3v2.3 tag holding TPE1 and TIT2 of any size, in front of no audio.
std::string tag_bytes(const std::string& artist, const std::string& title) {
  std::string body;
  for (const auto& [id, text] : {std::pair<std::string, std::string>{"TPE1", artist}, {"TIT2", title}}) {
    const std::size_t size = text.size() + 1;
    body += id;
    for (int shift : {24, 16, 8, 0}) body += static_cast<char>((size >> shift) & 0xFF);
    body += std::string(3, '\0') + text;
  }
  std::string head = "ID3" + std::string("\x03\0\0", 3);
  for (int shift : {21, 14, 7, 0}) head += static_cast<char>((body.size() >> shift) & 0x7F);
  return head + body;
}

TEST(MatchTrackFile, TagFieldsOfMegabytesAreCutAndEachTagIsReadOncePerRun) {
  // Artist and title of 20 MB each, but for their first words all bytes that CleanTagText drops:
  // the track is found as with the short fields.
  const std::string big(20 << 20, '\x01');
  test::TempFolder dir("match");
  const std::string stored =
      dir.write("u1964_001b - The Artist - Title (Remix).mp3", tag_bytes("The Artist" + big, "Title (Remix)" + big));
  FileList list{"", stored};
  SortedIndex index(list);
  FolderListings listings;
  const std::string expected = dir.folder() + "u1964_001 - Artist - Title.mp3";
  static std::uint64_t read;
  read = 0;
  platform::system_calls().pread = [](int fd, void* b, size_t n, off_t at) {
    const ssize_t got = platform::real_system_calls().pread(fd, b, n, at);
    read += got > 0 ? static_cast<std::uint64_t>(got) : 0;
    return got;
  };
  EXPECT_EQ(MatchTrackFile(index, expected, &listings), 1);
  // The frames are passed over: the first look reads a few blocks of the 40 MB tag.
  EXPECT_LE(read, 64u << 10) << "the fields are read whole";
  read = 0;
  EXPECT_EQ(MatchTrackFile(index, expected, &listings), 1);
  platform::system_calls() = platform::real_system_calls();
  EXPECT_EQ(read, 0u) << "the tag is read again";
}
#endif

}  // namespace
}  // namespace qn
