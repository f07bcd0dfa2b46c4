// The compiled pattern: read once, matched many times, with the rules of PatternMatch.
#include <gtest/gtest.h>

#include "base/step_error.h"
#include "naming/pattern_match.h"

namespace qn {
namespace {

TEST(CompiledPattern, ReusedAcrossTextsAgreesWithPatternMatch) {
  const std::string patterns[] = {"u19[56]#_###*", "*[!a-c]?#", "[]x", "*##* mono *##*", "a[b-]c", ""};
  const std::string texts[] = {"u1959_001a", "u1970_001", "zd7", "]x", "x", "u1 12 mono 34", "a-c", "abc", ""};
  for (const std::string& p : patterns) {
    const CompiledPattern compiled(p);
    for (const std::string& t : texts) EXPECT_EQ(compiled.matches(t), pattern_match(t, p)) << p << " / " << t;
  }
}

TEST(CompiledPattern, UnclosedListFailsWhenRead) {
  EXPECT_THROW(CompiledPattern("u[1964"), StepError);
  EXPECT_THROW(pattern_match("", "["), StepError);
}

TEST(CompiledPattern, LongPatternAgainstShortTextsEndsAtTheText) {
  const CompiledPattern compiled(std::string(4 << 20, 'u') + "*");
  EXPECT_FALSE(compiled.matches("u1964_001 - A - B.mp3"));
  EXPECT_TRUE(compiled.matches(std::string(4 << 20, 'u') + ".mp3"));
}

}  // namespace
}  // namespace qn
