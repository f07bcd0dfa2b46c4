#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qn {

// The pattern match used on names: the whole text must match the whole pattern. "?" one character,
// "*" any run, "#" one decimal digit, "[...]" one character of the list (ranges "a-z", "!" first
// negates); every other character matches itself, case-sensitively. Throws StepError for a "["
// without its "]".
bool pattern_match(const std::string& text, const std::string& pattern);

// A pattern read once and matched against many texts, with the rules of PatternMatch. Its size
// grows with the pattern's length by a small constant factor, whatever the pattern holds. A match
// takes at most about the square of the text's length in steps, whatever the pattern's length: a
// text shorter than the characters the pattern needs is refused at once.
class CompiledPattern {
 public:
  // Throws StepError for a "[" without its "]".
  explicit CompiledPattern(const std::string& pattern);
  bool matches(const std::string& text) const;

 private:
  enum class Kind : std::uint8_t { kAny, kRun, kDigit, kList, kLiteral };
  struct Token {
    Kind kind = Kind::kLiteral;
    unsigned char literal = 0;
    bool negated = false;
    std::uint32_t first_range = 0;  // kList: its ranges are ranges_[first_range, +range_count)
    std::uint32_t range_count = 0;
  };
  std::size_t parse_list(const std::string& pattern, std::size_t pos, Token& token);
  bool matches_one(const Token& token, unsigned char c) const;

  std::vector<Token> tokens_;
  std::size_t least_length_ = 0;  // the tokens that take one character each
  bool has_run_ = false;
  std::vector<std::pair<unsigned char, unsigned char>> ranges_;  // inclusive
};

}  // namespace qn
