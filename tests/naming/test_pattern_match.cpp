#include "naming/pattern_match.h"

#include <gtest/gtest.h>

#include "base/step_error.h"

namespace qn {
namespace {

TEST(PatternMatch, WildcardsMatchTheWholeText) {
  EXPECT_TRUE(pattern_match("abc", "abc"));
  EXPECT_FALSE(pattern_match("abc", "ab"));
  EXPECT_FALSE(pattern_match("abc", "abcd"));
  EXPECT_FALSE(pattern_match("ABC", "abc"));  // case-sensitive
  EXPECT_TRUE(pattern_match("abc", "a?c"));
  EXPECT_FALSE(pattern_match("ac", "a?c"));
  EXPECT_TRUE(pattern_match("", "*"));
  EXPECT_TRUE(pattern_match("ac", "a*c"));
  EXPECT_TRUE(pattern_match("a-x-c", "a*c"));
  EXPECT_FALSE(pattern_match("a-x-cd", "a*c"));
  EXPECT_TRUE(pattern_match("abcbc", "*bc"));
  EXPECT_TRUE(pattern_match("u1964_007", "u####_###"));
  EXPECT_FALSE(pattern_match("u1964_0a7", "u####_###"));
  EXPECT_FALSE(pattern_match("", "?"));
}

TEST(PatternMatch, BracketListsRangesAndNegation) {
  EXPECT_TRUE(pattern_match("b", "[abc]"));
  EXPECT_FALSE(pattern_match("d", "[abc]"));
  EXPECT_TRUE(pattern_match("m", "[a-z]"));
  EXPECT_TRUE(pattern_match("z", "[a-z]"));
  EXPECT_FALSE(pattern_match("M", "[a-z]"));
  EXPECT_TRUE(pattern_match("7", "[!a-z]"));
  EXPECT_FALSE(pattern_match("q", "[!a-z]"));
  EXPECT_TRUE(pattern_match("-", "[a-]"));
  EXPECT_TRUE(pattern_match("*", "[*]"));  // wildcards are plain inside a list
  EXPECT_FALSE(pattern_match("x", "[*]"));
  EXPECT_TRUE(pattern_match("x1y", "x[0-9A-F]y"));
  EXPECT_TRUE(pattern_match("a]", "a]"));
  EXPECT_TRUE(pattern_match("\xE9", "[\xE0-\xEF]"));  // bytes compare unsigned
}

TEST(PatternMatch, UnclosedBracketIsAnError) {
  try {
    pattern_match("abc", "ab[c");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_EQ(e.number(), kErrPatternInvalid);
  }
  // Even when the text would fail earlier.
  EXPECT_THROW(pattern_match("zzz", "a[b"), StepError);
}

TEST(PatternMatch, ManyStarsDoNotBlowUp) {
  const std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(pattern_match(text, pattern));
  EXPECT_TRUE(pattern_match(text + "b", pattern));
}

}  // namespace
}  // namespace qn
