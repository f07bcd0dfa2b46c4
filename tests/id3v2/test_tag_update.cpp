// Update: the version 3 image, in-place writing, growing the file, and failures that must leave
// the original file as it was.
#include <gtest/gtest.h>

#include <string>

#include "base/step_error.h"
#include "id3v2/cMP3ID3v2.h"
#include "id3v2/tag_writing.h"
#include "tag_test_files.h"

namespace qn {
namespace {

using namespace test;

const std::string kNul(1, '\0');

TEST(cMP3ID3v2Update, FileWithoutTagGetsOneInFrontWithRoomAndItsAudioUnchanged) {
  TempFolder scratch;
  const std::string audio = fixture_bytes("no_tag.mp3");
  const std::string path = scratch.write("a.mp3", audio);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  ASSERT_FALSE(tag.HasID3v2Tag());
  tag.Title(std::string(89, 't'));  // one frame of 100 bytes: an image of 114
  tag.Update();

  const std::string bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), audio.size() + 2058);
  EXPECT_EQ(bytes.substr(0, 10), std::string("ID3\x03\x00\x00", 6) + synchsafe(2048));
  EXPECT_EQ(bytes.substr(10, 100), frame3("TIT2", kNul + std::string(89, 't')));
  EXPECT_EQ(bytes.substr(110, 2058 - 110), std::string(2058 - 110, '\0'));
  EXPECT_TRUE(bytes.substr(2058) == audio);

  cMP3ID3v2 again;
  again.MP3File(path);
  EXPECT_EQ(again.ID3v2TagVersion(), 3);
  EXPECT_EQ(again.ID3v2TagLenOnLoad(), 2048);
  EXPECT_EQ(again.Title(), std::string(89, 't'));
  EXPECT_EQ(again.FrameCount(), 1);
}

TEST(cMP3ID3v2Update, ShorterImageIsWrittenOverTheOldTagAndLaterOldFramesAreNoLongerRead) {
  TempFolder scratch;
  const std::string audio = fixture_bytes("no_tag.mp3");
  const std::string old_frames = frame3("TIT2", kNul + "Old title") + frame3("TPE1", kNul + "Old artist") +
                                 frame3("TALB", kNul + std::string(2990, 'b'));
  const std::string old_tag = tag3_of_size(old_frames, 4096);
  const std::string path = scratch.write("a.mp3", old_tag + audio);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  tag.RemoveFrame("TALB");
  tag.Title("New");
  tag.Update();

  const std::string bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), old_tag.size() + audio.size());
  EXPECT_EQ(synchsafe_at(bytes, 6), 4096u);
  EXPECT_TRUE(bytes.substr(4106) == audio);
  const std::string image_frames = frame3("TPE1", kNul + "Old artist") + frame3("TIT2", kNul + "New");
  EXPECT_EQ(bytes.substr(10, image_frames.size() + 4), image_frames + std::string(4, '\0'));
  // Behind the four zero bytes the space keeps the old tag's bytes.
  const std::size_t rest = 10 + image_frames.size() + 4;
  EXPECT_TRUE(bytes.substr(rest, 4106 - rest) == old_tag.substr(rest));

  cMP3ID3v2 again;
  again.MP3File(path);
  EXPECT_EQ(again.Title(), "New");
  EXPECT_EQ(again.Artist(), "Old artist");
  EXPECT_EQ(again.Album(), "");
  EXPECT_EQ(again.FrameCount(), 2);
}

// An old tag of size 1000 holding only padding; a title of n characters gives an image of n + 25.
std::string update_over_size_1000(const TempFolder& scratch, std::size_t title_length, const std::string& audio) {
  const std::string path = scratch.write("a.mp3", tag3_of_size("", 1000) + audio);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  tag.Title(std::string(title_length, 'a'));
  tag.Update();
  return read_bytes(path);
}

TEST(cMP3ID3v2Update, ImageAsLongAsTheOldTagSizeGrowsTheFileButOneByteShorterFits) {
  TempFolder scratch;
  const std::string audio = fixture_bytes("no_tag.mp3");
  const std::string grown = update_over_size_1000(scratch, 975, audio);
  ASSERT_EQ(grown.size(), 1010 + 1048 + audio.size());
  EXPECT_EQ(synchsafe_at(grown, 6), 2048u);
  EXPECT_TRUE(grown.substr(2058) == audio);
  EXPECT_EQ(grown.substr(1000, 1058), std::string(1058, '\0'));

  const std::string fitted = update_over_size_1000(scratch, 974, audio);
  ASSERT_EQ(fitted.size(), 1010 + audio.size());
  EXPECT_EQ(synchsafe_at(fitted, 6), 1000u);
  EXPECT_TRUE(fitted.substr(1010) == audio);
}

TEST(cMP3ID3v2Update, TagBehindOtherDataGrowsWhereItStandsAndKeepsTheDataBeforeIt) {
  TempFolder scratch;
  const std::string original = fixture_bytes("junk5000_v23_latin1.mp3");
  const std::string path = scratch.write("a.mp3", original);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  const std::size_t old_end = 5000 + 10 + static_cast<std::size_t>(tag.ID3v2TagLenOnLoad());
  tag.Lyrics(std::string(3000, 'l'));
  tag.Update();

  const std::string bytes = read_bytes(path);
  EXPECT_TRUE(bytes.substr(0, 5000) == original.substr(0, 5000));
  EXPECT_EQ(bytes.substr(5000, 4), std::string("ID3\x03", 4));
  const std::size_t new_end = 5000 + 10 + synchsafe_at(bytes, 5006);
  EXPECT_TRUE(bytes.substr(new_end) == original.substr(old_end));
  cMP3ID3v2 again;
  again.MP3File(path);
  EXPECT_EQ(again.Title(), "Help");
  EXPECT_EQ(again.Lyrics(), std::string(3000, 'l'));
  EXPECT_EQ(again.TagsInFrame("COMM"), 3);
}

TEST(cMP3ID3v2Update, StrayId3WithoutAValidHeaderIsNotWrittenOver) {
  TempFolder scratch;
  const std::string original = std::string("xyID3\x09\x00\x00\x00\x00\x00\x10", 12) + fixture_bytes("no_tag.mp3");
  const std::string path = scratch.write("a.mp3", original);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  ASSERT_EQ(tag.ID3v2TagVersion(), 9);
  tag.Title("T");
  tag.Update();
  const std::string bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), 2058 + original.size());
  EXPECT_TRUE(bytes.substr(2058) == original);
  cMP3ID3v2 again;
  again.MP3File(path);
  EXPECT_EQ(again.Title(), "T");
}

TEST(cMP3ID3v2Update, GrowingKeepsThePermissionsOfTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permission bits: Windows keeps only a read-only flag";
#endif
  TempFolder scratch;
  const std::string path = scratch.write("a.mp3", fixture_bytes("no_tag.mp3"));
  const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(path, perms);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  tag.Title("T");
  tag.Update();
  EXPECT_EQ(fs::status(path).permissions(), perms);
}

TEST(cMP3ID3v2Update, FileThatCannotBeOpenedRaisesTheErrorWithPathAndSource) {
  TempFolder scratch;
  const std::string path = scratch.write("a.mp3", fixture_bytes("no_tag.mp3"));
  cMP3ID3v2 tag;
  tag.MP3File(path);
  tag.Title("T");
  // The file gives way to a folder of the same name.
  fs::remove(path);
  fs::create_directory(path);
  try {
    tag.Update();
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("MP3IDv2 .cMP3ID3v2"), std::string::npos) << e.what();
  }
  // A path whose folder is a regular file.
  scratch.write("folder", "not a folder");
  cMP3ID3v2 other;
  EXPECT_THROW(other.MP3File((scratch.path() / "folder" / "b.mp3").string()), StepError);
  other.Title("T");
  EXPECT_THROW(other.Update(), StepError);
  EXPECT_EQ(scratch.names(), (std::set<std::string>{"a.mp3", "folder"}));
}

class FaultAt : public ::testing::TestWithParam<const char*> {
 protected:
  void TearDown() override { id3v2::set_fault_hook(nullptr); }
};

TEST_P(FaultAt, FailedRebuildLeavesTheOriginalByteForByteAndNoOtherFile) {
  TempFolder scratch;
  const std::string original = fixture_bytes("v23_latin1_tcon17_three_comm.mp3");
  const std::string path = scratch.write("a.mp3", original);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  tag.Lyrics(std::string(5000, 'l'));  // longer than the old tag: the file must grow
  const std::string step = GetParam();
  id3v2::set_fault_hook([&](std::string_view s) { return s == step; });
  try {
    tag.Update();
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find(scratch.path().string()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(read_bytes(path) == original);
  EXPECT_EQ(scratch.names(), std::set<std::string>{"a.mp3"});

  id3v2::set_fault_hook(nullptr);
  tag.Update();
  cMP3ID3v2 again;
  again.MP3File(path);
  EXPECT_EQ(again.Lyrics(), std::string(5000, 'l'));
  EXPECT_EQ(scratch.names(), std::set<std::string>{"a.mp3"});
}

INSTANTIATE_TEST_SUITE_P(cMP3ID3v2Update, FaultAt, ::testing::Values("create", "write", "rename"));

}  // namespace
}  // namespace qn
