#include "naming/pattern_match.h"

#include <gtest/gtest.h>

#include "engine/step_error.h"

namespace qn {
namespace {

TEST(PatternMatch, WildcardsMatchTheWholeText) {
  EXPECT_TRUE(PatternMatch("abc", "abc"));
  EXPECT_FALSE(PatternMatch("abc", "ab"));
  EXPECT_FALSE(PatternMatch("abc", "abcd"));
  EXPECT_FALSE(PatternMatch("ABC", "abc"));  // case-sensitive
  EXPECT_TRUE(PatternMatch("abc", "a?c"));
  EXPECT_FALSE(PatternMatch("ac", "a?c"));
  EXPECT_TRUE(PatternMatch("", "*"));
  EXPECT_TRUE(PatternMatch("ac", "a*c"));
  EXPECT_TRUE(PatternMatch("a-x-c", "a*c"));
  EXPECT_FALSE(PatternMatch("a-x-cd", "a*c"));
  EXPECT_TRUE(PatternMatch("abcbc", "*bc"));
  EXPECT_TRUE(PatternMatch("u1964_007", "u####_###"));
  EXPECT_FALSE(PatternMatch("u1964_0a7", "u####_###"));
  EXPECT_FALSE(PatternMatch("", "?"));
}

TEST(PatternMatch, BracketListsRangesAndNegation) {
  EXPECT_TRUE(PatternMatch("b", "[abc]"));
  EXPECT_FALSE(PatternMatch("d", "[abc]"));
  EXPECT_TRUE(PatternMatch("m", "[a-z]"));
  EXPECT_TRUE(PatternMatch("z", "[a-z]"));
  EXPECT_FALSE(PatternMatch("M", "[a-z]"));
  EXPECT_TRUE(PatternMatch("7", "[!a-z]"));
  EXPECT_FALSE(PatternMatch("q", "[!a-z]"));
  EXPECT_TRUE(PatternMatch("-", "[a-]"));
  EXPECT_TRUE(PatternMatch("*", "[*]"));  // wildcards are plain inside a list
  EXPECT_FALSE(PatternMatch("x", "[*]"));
  EXPECT_TRUE(PatternMatch("x1y", "x[0-9A-F]y"));
  EXPECT_TRUE(PatternMatch("a]", "a]"));
  EXPECT_TRUE(PatternMatch("\xE9", "[\xE0-\xEF]"));  // bytes compare unsigned
}

TEST(PatternMatch, UnclosedBracketIsAnError) {
  try {
    PatternMatch("abc", "ab[c");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), kErrPatternInvalid);
  }
  // Even when the text would fail earlier.
  EXPECT_THROW(PatternMatch("zzz", "a[b"), StepError);
}

TEST(PatternMatch, ManyStarsDoNotBlowUp) {
  const std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(PatternMatch(text, pattern));
  EXPECT_TRUE(PatternMatch(text + "b", pattern));
}

}  // namespace
}  // namespace qn
