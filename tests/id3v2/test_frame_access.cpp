// The generic frame view's add/remove operations and the typed set forms.
#include <gtest/gtest.h>

#include <string>

#include "base/step_error.h"
#include "id3v2/cMP3ID3v2.h"

namespace qn {
namespace {

const std::string kNul(1, '\0');

std::string fixture(const std::string& name) { return std::string(QN_TEST_DATA_DIR) + "/id3v2/" + name; }

TEST(cMP3ID3v2Frames, SettingTitleTwiceLeavesOneFrameAtTheEndOfTheList) {
  cMP3ID3v2 tag;
  tag.MP3File(fixture("v23_latin1_tcon17_three_comm.mp3"));
  ASSERT_EQ(tag.Frame(1), "TIT2");
  tag.Title("First");
  tag.Title("Second");
  EXPECT_EQ(tag.Title(), "Second");
  EXPECT_EQ(tag.TagsInFrame("TIT2"), 1);
  EXPECT_EQ(tag.TagText("TIT2", 1), "Second");
  EXPECT_EQ(tag.FrameCount(), 5);
  EXPECT_EQ(tag.Frame(5), "TIT2");
  EXPECT_EQ(tag.Frame(1), "TPE1");
  // The instance counts list the last changed id at the end too.
  EXPECT_EQ(tag.TagsInFrame(5), 1);
}

TEST(cMP3ID3v2Frames, SetFormsWriteTheirFrameTexts) {
  cMP3ID3v2 tag;
  tag.Comment("");
  EXPECT_EQ(tag.TagText("COMM", 1), std::string("eng\0\0\0", 6));
  tag.Comment("Note");
  EXPECT_EQ(tag.TagText("COMM", 1), std::string("eng\0Note", 8));
  EXPECT_EQ(tag.Comment(), "Note");
  tag.LinkTo("http://x");
  tag.Lyrics("la la");
  tag.Popularimeter("p");
  tag.MediaJukeboxMetaData("m");
  EXPECT_EQ(tag.TagText("WXXX", 1), kNul + "http://x");
  EXPECT_EQ(tag.TagText("USLT", 1), kNul + "la la");
  EXPECT_EQ(tag.TagText("POPM", 1), kNul + "p");
  EXPECT_EQ(tag.TagText("MJMD", 1), kNul + "m");
  EXPECT_EQ(tag.LinkTo(), "http://x");
  EXPECT_EQ(tag.Lyrics(), "la la");
  tag.ArtistURL("http://a");
  tag.size("123");
  EXPECT_EQ(tag.TagText("WOAR", 1), "http://a");
  EXPECT_EQ(tag.TagText("TSIZ", 1), "123");
  EXPECT_EQ(tag.size(), "123");
}

TEST(cMP3ID3v2Frames, GenreWritesOtherGenreNameAndKeepsTheNumberInTheObject) {
  cMP3ID3v2 tag;
  tag.OtherGenreName("Krautrock");
  EXPECT_EQ(tag.TagText("TCON", 1), "Krautrock");
  tag.Genre(17);
  EXPECT_EQ(tag.Genre(), 17);
  EXPECT_EQ(tag.TagsInFrame("TCON"), 1);
  EXPECT_EQ(tag.TagText("TCON", 1), "Krautrock");
}

TEST(cMP3ID3v2Frames, BinaryFrameSetFormsAreDescribedByLength) {
  cMP3ID3v2 tag;
  tag.Picture(std::string(2048, 'p'));
  EXPECT_EQ(tag.Picture(), "Contains Picture :002 048");
  EXPECT_EQ(tag.TagText("APIC", 1), kNul + std::string(2048, 'p'));
  tag.Picture(std::string(10, 'p'));
  EXPECT_EQ(tag.Picture(), "");
  tag.MCDI(std::string(1234567, 'c'));
  EXPECT_EQ(tag.MCDI(), "Contains CDDB Data : 1234 567");
  tag.GEOB(std::string("mime\0\0\0rest", 11));
  EXPECT_EQ(tag.GEOB(), "Contains GEOB : 000 011mime");
}

TEST(cMP3ID3v2Frames, RemoveTagRenumbersLaterInstancesAndDropsAnIdWithoutInstances) {
  cMP3ID3v2 tag;
  tag.MP3File(fixture("v23_latin1_tcon17_three_comm.mp3"));
  const std::string first = tag.TagText("COMM", 1);
  const std::string third = tag.TagText("COMM", 3);
  const std::string title = tag.TagText("TIT2", 1);
  tag.RemoveTag("COMM", 2);
  EXPECT_EQ(tag.TagsInFrame("COMM"), 2);
  EXPECT_EQ(tag.TagText("COMM", 1), first);
  EXPECT_EQ(tag.TagText("COMM", 2), third);
  EXPECT_THROW(tag.TagText("COMM", 3), StepError);
  EXPECT_EQ(tag.TagText("TIT2", 1), title);
  tag.RemoveTag("COMM", 1);
  EXPECT_EQ(tag.TagText("COMM", 1), third);
  tag.RemoveTag("COMM", 1);
  EXPECT_EQ(tag.TagsInFrame("COMM"), 0);
  EXPECT_EQ(tag.FrameCount(), 4);
  for (std::int32_t i = 1; i <= tag.FrameCount(); ++i) EXPECT_NE(tag.Frame(i), "COMM");
  // Removing frames leaves the typed fields as loaded.
  EXPECT_NE(tag.Comment(), "");
}

TEST(cMP3ID3v2Frames, RemovingWhatIsNotThereRaisesTheErrorButSetFormsDoNot) {
  cMP3ID3v2 tag;
  try {
    tag.RemoveFrame("TIT2");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find("MP3IDv2 .cMP3ID3v2"), std::string::npos) << e.what();
  }
  EXPECT_THROW(tag.RemoveFrame(1), StepError);
  EXPECT_THROW(tag.RemoveTag("TIT2", 1), StepError);
  tag.Title("T");
  EXPECT_THROW(tag.RemoveTag("TIT2", 2), StepError);
  EXPECT_THROW(tag.RemoveTag("TIT2", 0), StepError);
  EXPECT_EQ(tag.TagsInFrame("TIT2"), 1);
  EXPECT_EQ(tag.TagsInFrame("TALB"), 0);
}

TEST(cMP3ID3v2Frames, RemoveFrameByPositionTakesEveryInstance) {
  cMP3ID3v2 tag;
  tag.AddTag("TXXX", "a");
  tag.AddTag("PRIV", "b");
  tag.AddTag("TXXX", "c");
  ASSERT_EQ(tag.TagsInFrame("TXXX"), 2);
  tag.RemoveFrame(1);
  EXPECT_EQ(tag.FrameCount(), 1);
  EXPECT_EQ(tag.Frame(1), "PRIV");
  EXPECT_EQ(tag.TagsInFrame("TXXX"), 0);
  EXPECT_THROW(tag.TagText("TXXX", 2), StepError);
  // A re-added id starts again at instance 1.
  tag.AddTag("TXXX", "d");
  EXPECT_EQ(tag.TagText("TXXX", 1), "d");
}

TEST(cMP3ID3v2Frames, AddTagLeavesTypedFieldsAndRefusesIdsAWrittenTagCouldNotHold) {
  cMP3ID3v2 tag;
  tag.AddTag("TIT2", "Added");
  EXPECT_EQ(tag.Title(), "");
  EXPECT_EQ(tag.TagText("TIT2", 1), "Added");
  EXPECT_THROW(tag.AddTag("TT2", "x"), StepError);
  EXPECT_THROW(tag.AddTag("", "x"), StepError);
  EXPECT_THROW(tag.AddTag("TITLE", "x"), StepError);
  EXPECT_THROW(tag.AddTag(std::string(4, '\0'), "x"), StepError);
  EXPECT_EQ(tag.FrameCount(), 1);
}

}  // namespace
}  // namespace qn
