#include "naming/track_key.h"

#include <gtest/gtest.h>

#include "base/paths.h"
#include "base/step_error.h"

namespace qn {
namespace {

TEST(TrackKey, KeyAndLetterSuffixOfPlainNames) {
  EXPECT_EQ(TrackKey("u1964_007b - Artist - Title.mp3"), "u1964_007b");
  EXPECT_EQ(TrackKey("u1964_007b - Artist - Title.mp3", true), "b");
  EXPECT_EQ(TrackKey("u1964_007 - Artist - Title.mp3"), "u1964_007");
  EXPECT_EQ(TrackKey("u1964_007 - Artist - Title.mp3", true), "");
}

TEST(TrackKey, FullPathGivesSameResultAsFileName) {
  const std::string path = std::string("D:") + kSep + "Charts_1" + kSep + "u1964_007b - Artist - Title.mp3";
  EXPECT_EQ(TrackKey(path), "u1964_007b");
  EXPECT_EQ(TrackKey(path, true), "b");
}

TEST(TrackKey, UsesOnlyTheFirstTwoDigitRuns) {
  EXPECT_EQ(TrackKey("u1964_12b3 - A - T.mp3"), "u1964_12b3");
  EXPECT_EQ(TrackKey("u1964_1a2b3 - A - T.mp3"), "u1964_1a2");
  EXPECT_EQ(TrackKey("u1964_007b_extra - A - T.mp3"), "u1964_007b");
}

TEST(TrackKey, TrimsBlanksAndDropsTextAfterParenthesisBeforeTakingDigits) {
  EXPECT_EQ(TrackKey("u1964_007 b - A - T.mp3"), "u1964_007b");
  EXPECT_EQ(TrackKey("u1964_007 b - A - T.mp3", true), "b");
  EXPECT_EQ(TrackKey("u1964_007 (Live) - A - T.mp3"), "u1964_007");
  EXPECT_EQ(TrackKey("u1964_007 (Live 2) - A - T.mp3"), "u1964_007");
}

TEST(TrackKey, ExtensionDigitCountsOnlyWithoutSeparator) {
  EXPECT_EQ(TrackKey("u1964_007.mp3"), "u1964_0073");
  EXPECT_EQ(TrackKey("u1964_007.flac"), "u1964_007");
  EXPECT_EQ(TrackKey("u1964_ab - A - T.mp3"), "u1964_ab");
  EXPECT_EQ(TrackKey("u1964_"), "u1964_");
}

TEST(TrackKey, NameWithoutUnderscoreIsAnError) {
  try {
    TrackKey(std::string("dir_x") + kSep + "u1964 - A - T.mp3");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), kErrSubscript);
    EXPECT_NE(std::string(e.what()).find("u1964 - A - T.mp3"), std::string::npos);
  }
}

}  // namespace
}  // namespace qn
