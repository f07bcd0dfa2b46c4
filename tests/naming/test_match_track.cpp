#include "naming/match_track.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "base/step_error.h"
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

}  // namespace
}  // namespace qn
