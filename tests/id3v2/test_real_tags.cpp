// Tags written by real tools (see tests/data/id3v2/make_fixtures.sh).
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "base/step_error.h"
#include "id3v2/cMP3ID3v2.h"

namespace qn {
namespace {

std::string fixture(const std::string& name) { return std::string(QN_TEST_DATA_DIR) + "/id3v2/" + name; }

cMP3ID3v2 load(const std::string& name) {
  cMP3ID3v2 tag;
  tag.MP3File(fixture(name));
  return tag;
}

TEST(cMP3ID3v2, ReadsLatin1Version3TagOfTheId3v2Tool) {
  cMP3ID3v2 tag = load("v23_latin1_tcon17_three_comm.mp3");
  EXPECT_EQ(tag.MP3File(), fixture("v23_latin1_tcon17_three_comm.mp3"));
  EXPECT_TRUE(tag.HasID3v2Tag());
  EXPECT_EQ(tag.ID3v2TagVersion(), 3);
  EXPECT_EQ(tag.TagVersion(), 3);
  EXPECT_EQ(tag.ID3v2TagLenOnLoad(), 6 * 128 + 0x76);  // synchsafe 00 00 06 76
  EXPECT_EQ(tag.Title(), "Help");
  EXPECT_EQ(tag.Artist(), "The Artist");
  EXPECT_EQ(tag.Album(), "An Album");
  EXPECT_EQ(tag.Genre(), 17);
  EXPECT_EQ(tag.OtherGenreName(), "Rock");
  EXPECT_EQ(tag.subTitle(), "");
  EXPECT_EQ(tag.Picture(), "");
}

TEST(cMP3ID3v2, KeepsEveryCommFrameAndJoinsThemInComment) {
  cMP3ID3v2 tag = load("v23_latin1_tcon17_three_comm.mp3");
  ASSERT_EQ(tag.FrameCount(), 5);
  EXPECT_EQ(tag.Frame(1), "TIT2");
  EXPECT_EQ(tag.Frame(4), "TCON");
  EXPECT_EQ(tag.Frame(5), "COMM");
  EXPECT_EQ(tag.TagsInFrame("COMM"), 3);
  EXPECT_EQ(tag.TagsInFrame("TIT2"), 1);
  EXPECT_EQ(tag.TagsInFrame("TXXX"), 0);
  // Language and description stay in the raw content; only outer NULs go.
  const std::string first("engd1\0first", 11);
  const std::string second("XXXID3v1 Comment\0first", 22);
  const std::string third("engd2\0second", 12);
  EXPECT_EQ(tag.TagText("COMM", 1), first);
  EXPECT_EQ(tag.TagText("COMM", 2), second);
  EXPECT_EQ(tag.TagText("COMM", 3), third);
  const std::string sep("\0\r\n", 3);
  EXPECT_EQ(tag.Comment(), first + sep + second + sep + third);
  EXPECT_THROW(tag.TagText("COMM", 4), StepError);
  EXPECT_THROW(tag.Frame(6), StepError);
  EXPECT_THROW(tag.Frame(0), StepError);
}

TEST(cMP3ID3v2, FindsTagBehindOtherDataInSecondBlock) {
  cMP3ID3v2 tag = load("junk5000_v23_latin1.mp3");
  EXPECT_TRUE(tag.HasID3v2Tag());
  EXPECT_EQ(tag.Title(), "Help");
  EXPECT_EQ(tag.Artist(), "The Artist");
}

TEST(cMP3ID3v2, KeepsEncodingByteOfUtf8Version4TextsAndSplitsGenreRefinement) {
  cMP3ID3v2 tag = load("v24_mid3v2_tcon17rock.mp3");
  EXPECT_EQ(tag.ID3v2TagVersion(), 4);
  EXPECT_EQ(tag.Title(), "\x03Title Four");  // encoding byte 3 is not a NUL: it stays
  EXPECT_EQ(tag.Artist(), "\x03" "Artist Four");
  EXPECT_EQ(tag.Track(), "\x03" "3/12");
  EXPECT_EQ(tag.Genre(), 17);  // the encoding byte before "(" does not matter
  EXPECT_EQ(tag.OtherGenreName(), "Rock");
  EXPECT_EQ(tag.TagText("TCON", 1), "\x03(17)Rock");
}

TEST(cMP3ID3v2, KeepsUtf16BytesIncludingBomAndInnerZeros) {
  cMP3ID3v2 tag = load("v23_utf16_tcon_rock.mp3");
  EXPECT_EQ(tag.Title(), std::string("\x01\xFF\xFEH\0\xE9\0l\0p", 10));  // p's zero byte is trailing: it goes
  EXPECT_EQ(tag.Artist(), std::string("\x01\xFF\xFE" "A\0r\0t", 8));
  EXPECT_EQ(tag.Genre(), 255);
  EXPECT_EQ(tag.OtherGenreName(), "Rock");
  EXPECT_EQ(tag.Comment(), std::string("\x01" "eng\xFF\xFE\0\0\xFF\xFEN\0o\0t\0e", 17));
}

TEST(cMP3ID3v2, MapsVersion2IdsAndLetTheLastFrameWin) {
  cMP3ID3v2 tag = load("v22_tt2_tp1_tco.mp3");
  EXPECT_EQ(tag.ID3v2TagVersion(), 2);
  EXPECT_EQ(tag.Title(), "V2 Title");
  EXPECT_EQ(tag.Artist(), "V2 Artist");
  EXPECT_EQ(tag.Genre(), 17);
  EXPECT_EQ(tag.OtherGenreName(), "Rock");
  EXPECT_EQ(tag.Comment(), std::string("engdesc\0v2 comment", 18));
  EXPECT_EQ(tag.TagsInFrame("TIT2"), 2);
  EXPECT_EQ(tag.TagText("TIT2", 1), "Old Title");
  EXPECT_EQ(tag.TagText("TIT2", 2), "V2 Title");
  // TIT2 once, at its first appearance; the unmapped TBP is not kept.
  ASSERT_EQ(tag.FrameCount(), 4);
  EXPECT_EQ(tag.Frame(1), "TIT2");
  EXPECT_EQ(tag.Frame(2), "TPE1");
  EXPECT_EQ(tag.Frame(3), "TCON");
  EXPECT_EQ(tag.Frame(4), "COMM");
  // The instance counts list the last-changed id at the end.
  EXPECT_EQ(tag.TagsInFrame(4), 2);
}

TEST(cMP3ID3v2, ReloadingAnotherFileReplacesEverything) {
  cMP3ID3v2 tag = load("v23_latin1_tcon17_three_comm.mp3");
  tag.MP3File(fixture("no_tag.mp3"));
  EXPECT_FALSE(tag.HasID3v2Tag());
  EXPECT_EQ(tag.ID3v2TagVersion(), 0);
  EXPECT_EQ(tag.ID3v2TagLenOnLoad(), 0);
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.Comment(), "");
  EXPECT_EQ(tag.OtherGenreName(), "");
  EXPECT_EQ(tag.Genre(), 255);
  EXPECT_EQ(tag.FrameCount(), 0);
}

TEST(cMP3ID3v2, FileThatCannotBeOpenedThrowsWithPathAndResets) {
  cMP3ID3v2 tag = load("v23_latin1_tcon17_three_comm.mp3");
  const std::string missing = fixture("no_such_file.mp3");
  try {
    tag.MP3File(missing);
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), ENOENT);
    const std::string what = e.what();
    EXPECT_NE(what.find(missing), std::string::npos) << what;
    EXPECT_NE(what.find("MP3IDv2 .cMP3ID3v1"), std::string::npos) << what;
  }
  EXPECT_EQ(tag.MP3File(), missing);
  EXPECT_FALSE(tag.HasID3v2Tag());
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.Genre(), 255);
}

}  // namespace
}  // namespace qn
