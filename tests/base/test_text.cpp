#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"

namespace qn::text {
namespace {

TEST(Text, LetterCaseFoldsAsciiOnly) {
  // Bytes above 0x7F (Latin-1 or UTF-8 pieces) never change, whatever the locale.
  EXPECT_EQ(to_upper("abz\xE9\xC3\xA9"), "ABZ\xE9\xC3\xA9");
  EXPECT_EQ(to_lower("ABZ\xC9"), "abz\xC9");
  EXPECT_TRUE(iequals("The Beat", "tHE bEAT"));
  EXPECT_FALSE(iequals("\xE9", "\xC9"));
  EXPECT_FALSE(iequals("ab", "abc"));
}

TEST(Text, SplitKeepsEmptyPiecesAndJoinUndoesIt) {
  const struct {
    const char* text;
    const char* sep;
    std::vector<std::string> pieces;
  } cases[] = {
      {"a--b", "-", {"a", "", "b"}},
      {"", "Z", {""}},
      {"Z", "Z", {"", ""}},
      {"1Z2Z3", "Z", {"1", "2", "3"}},
      {"a - b - c", " - ", {"a", "b", "c"}},
      {"abc", "", {"abc"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(split(c.text, c.sep), c.pieces);
    if (*c.sep) {
      EXPECT_EQ(join(c.pieces, c.sep), c.text);
    }
  }
}

TEST(Text, ReplaceAndCut) {
  EXPECT_EQ(replace_all("aaa", "a", "aa"), "aaaaaa");  // the replacement is not searched again
  EXPECT_EQ(replace_all("abc", "", "x"), "abc");
  EXPECT_EQ(replace_first("a.b.c", ".", "/", 2), "a.b/c");
  EXPECT_EQ(replace_first("abc", "b", "x", 9), "abc");
  EXPECT_EQ(trim_blanks("  a b \t "), "a b \t");  // only the blank is trimmed
  EXPECT_EQ(before_first("u1964_001 - A - B", " - "), "u1964_001");
  EXPECT_EQ(before_first("none", " - "), "none");
  EXPECT_EQ(right("abc", 2), "bc");
  EXPECT_EQ(right("abc", 9), "abc");
  EXPECT_EQ(left("abc", 9), "abc");
}

TEST(Text, HexadecimalTextsRoundTripAndRejectWhatIsNotANumber) {
  EXPECT_EQ(hex_text(0), "0");
  EXPECT_EQ(hex_text(0xFFFFFFFFFFFFFFFFull), "FFFFFFFFFFFFFFFF");
  unsigned long long v = 7;
  for (unsigned long long n : {0ull, 1ull, 0xABCull, 0x10000000000000ull, 0xFFFFFFFFFFFFFFFFull}) {
    ASSERT_TRUE(parse_hex(hex_text(n), v));
    EXPECT_EQ(v, n);
  }
  EXPECT_TRUE(parse_hex("ff", v));
  EXPECT_EQ(v, 255u);
  for (const char* bad : {"", " 1", "1 ", "-1", "0x1", "G", "10000000000000000"}) {
    v = 7;
    EXPECT_FALSE(parse_hex(bad, v)) << bad;
    EXPECT_EQ(v, 7u) << "a rejected text leaves the value alone";
  }
}

// Every control a terminal acts on becomes "?"; letters of any script, valid or stray, stay.
TEST(Printable, ShowsControlsAsQuestionMarks) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"u1999_002 OK", "u1999_002 OK"},
      {"a\rb\nc\x1b[1Ad\x7f", "a?b?c?[1Ad?"},
      {"x\xC2\x9B" "1A\xC2\x85y", "x?1A?y"},                      // C1 as UTF-8: CSI, NEL
      {"x\x9B" "1A", "x?1A"},                                      // C1 as a stray byte
      {"\xE2\x80\xAE" "3pm.exe\xE2\x81\xA6\xE2\x80\x8F", "?3pm.exe??"},  // RLO, LRI, RLM
      {"\xD8\x9C" "a", "?a"},                                      // Arabic letter mark
      {"Caf\xC3\xA9 \xD0\x96 \xE6\x97\xA5 \xF0\x9F\x8E\xB5", "Caf\xC3\xA9 \xD0\x96 \xE6\x97\xA5 \xF0\x9F\x8E\xB5"},
      {"Caf\xE9 Cr\xE8me", "Caf\xE9 Cr\xE8me"},                    // Latin-1 bytes stay
      {"\xC0\x9B \xE0\x80\x9B \xED\xA0\x80 \xC2", "\xC0? \xE0?? \xED\xA0? \xC2"},  // overlong, surrogate, cut
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
}

TEST(Printable, JsonKeepsTheCharactersAsEscapes) {
  EXPECT_EQ(escape_hidden_controls("{\"n\": \"a\xC2\x9B" "b\xE2\x80\xAE" "c\xC3\xA9\xE9\"}"),
            "{\"n\": \"a\\u009bb\\u202ec\xC3\xA9\xE9\"}");
  EXPECT_EQ(printable_lines("one\x1b\ntwo\xC2\x85"), "one?\ntwo?");
}

}  // namespace
}  // namespace qn::text
