#include "naming/pattern_match.h"

#include <vector>

#include "engine/step_error.h"

namespace qn {
namespace {

enum class Kind { kAny, kRun, kDigit, kList, kLiteral };

struct Token {
  Kind kind = Kind::kLiteral;
  unsigned char literal = 0;
  bool negated = false;
  std::vector<std::pair<unsigned char, unsigned char>> ranges;  // inclusive, for kList
};

// Reads the list that starts after the "[" at `pos`; returns the position after its "]".
std::size_t parse_list(const std::string& pattern, std::size_t pos, Token& token) {
  const std::size_t close = pattern.find(']', pos);
  if (close == std::string::npos)
    throw StepError(kErrPatternInvalid, "pattern match: \"[\" without \"]\" in pattern: " + pattern);
  token.kind = Kind::kList;
  std::size_t i = pos;
  if (i < close && pattern[i] == '!') {
    token.negated = true;
    ++i;
  }
  while (i < close) {
    const auto lo = static_cast<unsigned char>(pattern[i]);
    if (i + 2 < close && pattern[i + 1] == '-') {
      token.ranges.emplace_back(lo, static_cast<unsigned char>(pattern[i + 2]));
      i += 3;
    } else {
      token.ranges.emplace_back(lo, lo);
      ++i;
    }
  }
  return close + 1;
}

// The whole pattern is read first, so an unclosed "[" is an error whatever the text.
std::vector<Token> parse(const std::string& pattern) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < pattern.size()) {
    Token token;
    const char c = pattern[i];
    if (c == '[') {
      i = parse_list(pattern, i + 1, token);
    } else {
      token.kind = c == '?' ? Kind::kAny : c == '*' ? Kind::kRun : c == '#' ? Kind::kDigit : Kind::kLiteral;
      token.literal = static_cast<unsigned char>(c);
      ++i;
    }
    // A run of "*" means the same as one.
    if (token.kind == Kind::kRun && !tokens.empty() && tokens.back().kind == Kind::kRun) continue;
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool matches_one(const Token& token, unsigned char c) {
  switch (token.kind) {
    case Kind::kAny: return true;
    case Kind::kDigit: return c >= '0' && c <= '9';
    case Kind::kLiteral: return c == token.literal;
    case Kind::kList: {
      bool in = false;
      for (const auto& [lo, hi] : token.ranges)
        if (c >= lo && c <= hi) in = true;
      return in != token.negated;
    }
    case Kind::kRun: break;
  }
  return false;
}

}  // namespace

// Every token but "*" takes exactly one character, so going back to the latest "*" only is
// enough: at most text length times pattern length steps, whatever the number of "*".
bool PatternMatch(const std::string& text, const std::string& pattern) {
  const std::vector<Token> tokens = parse(pattern);
  std::size_t t = 0, p = 0;
  std::size_t star_p = std::string::npos, star_t = 0;
  while (t < text.size()) {
    if (p < tokens.size() && tokens[p].kind == Kind::kRun) {
      star_p = p++;
      star_t = t;
    } else if (p < tokens.size() && matches_one(tokens[p], static_cast<unsigned char>(text[t]))) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < tokens.size() && tokens[p].kind == Kind::kRun) ++p;
  return p == tokens.size();
}

}  // namespace qn
