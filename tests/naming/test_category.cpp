#include "naming/category.h"

#include <gtest/gtest.h>

#include "base/step_error.h"

namespace qn {
namespace {

TEST(CollectionCategory, ChartYearsAndTheirBorders) {
  EXPECT_EQ(CollectionCategory("u1964_007b"), "Quarnell");
  EXPECT_EQ(CollectionCategory("u1952_001"), "Quarnell");
  EXPECT_EQ(CollectionCategory("u1989_040"), "Quarnell");
  EXPECT_EQ(CollectionCategory("U1964_001"), "Quarnell");
  EXPECT_EQ(CollectionCategory("u64_001"), "Quarnell");
  EXPECT_EQ(CollectionCategory("u1951_001"), "SheetMusic");
  EXPECT_EQ(CollectionCategory("u05_001"), "SheetMusic");
  EXPECT_EQ(CollectionCategory("u_001"), "SheetMusic");  // year text "19"
  EXPECT_EQ(CollectionCategory("u1990_001"), "1990+");
  EXPECT_EQ(CollectionCategory("u2001_001"), "1990+");
}

TEST(CollectionCategory, LetterCodesWithinFirstThreeCharacters) {
  EXPECT_EQ(CollectionCategory("uEP1964_001"), "EPCharts");
  EXPECT_EQ(CollectionCategory("uxEP_001"), "EPCharts");
  EXPECT_EQ(CollectionCategory("uep1964_001"), "EPCharts");
  EXPECT_EQ(CollectionCategory("uSM1940_001"), "SheetMusic");
  EXPECT_EQ(CollectionCategory("uLP1970_001"), "AlbumCharts");
  // "EP" at positions 3-4 is too late; the year text "xxEP" is then not a number.
  EXPECT_THROW(CollectionCategory("uxxEP_001"), StepError);
}

TEST(CollectionCategory, DunmarshNeedsTheWholeText) {
  EXPECT_EQ(CollectionCategory("uDunm"), "Dunmarsh");
  EXPECT_EQ(CollectionCategory("Dunm"), "Dunmarsh");
  EXPECT_EQ(CollectionCategory("udunm"), "");
  EXPECT_THROW(CollectionCategory("uDunm_1"), StepError);
}

TEST(CollectionCategory, NoUnderscoreGivesEmptyText) {
  EXPECT_EQ(CollectionCategory("u1964"), "");
  EXPECT_EQ(CollectionCategory(""), "");
}

TEST(CollectionCategory, YearThatIsNotANumberIsAnError) {
  try {
    CollectionCategory("uab12_001");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
    EXPECT_NE(std::string(e.what()).find("ab12_001"), std::string::npos);
  }
}

}  // namespace
}  // namespace qn
