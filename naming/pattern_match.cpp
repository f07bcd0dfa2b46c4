#include "naming/pattern_match.h"

#include "base/step_error.h"

namespace qn {

// Reads the list that starts after the "[" at `pos`; returns the position after its "]".
std::size_t CompiledPattern::parse_list(const std::string& pattern, std::size_t pos, Token& token) {
  const std::size_t close = pattern.find(']', pos);
  if (close == std::string::npos)
    throw StepError(kErrPatternInvalid, "pattern match: \"[\" without \"]\" in pattern: " + pattern);
  token.kind = Kind::kList;
  token.first_range = static_cast<std::uint32_t>(ranges_.size());
  std::size_t i = pos;
  if (i < close && pattern[i] == '!') {
    token.negated = true;
    ++i;
  }
  while (i < close) {
    const auto lo = static_cast<unsigned char>(pattern[i]);
    if (i + 2 < close && pattern[i + 1] == '-') {
      ranges_.emplace_back(lo, static_cast<unsigned char>(pattern[i + 2]));
      i += 3;
    } else {
      ranges_.emplace_back(lo, lo);
      ++i;
    }
  }
  token.range_count = static_cast<std::uint32_t>(ranges_.size() - token.first_range);
  return close + 1;
}

// The whole pattern is read first, so an unclosed "[" is an error whatever the text.
CompiledPattern::CompiledPattern(const std::string& pattern) {
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
    if (token.kind == Kind::kRun && !tokens_.empty() && tokens_.back().kind == Kind::kRun) continue;
    if (token.kind == Kind::kRun) has_run_ = true;
    else ++least_length_;
    tokens_.push_back(token);
  }
}

bool CompiledPattern::matches_one(const Token& token, unsigned char c) const {
  switch (token.kind) {
    case Kind::kAny: return true;
    case Kind::kDigit: return c >= '0' && c <= '9';
    case Kind::kLiteral: return c == token.literal;
    case Kind::kList: {
      bool in = false;
      for (std::uint32_t r = token.first_range; r < token.first_range + token.range_count; ++r)
        if (c >= ranges_[r].first && c <= ranges_[r].second) in = true;
      return in != token.negated;
    }
    case Kind::kRun: break;
  }
  return false;
}

// Every token but "*" takes exactly one character, so going back to the latest "*" only is
// enough: each step back moves the text position of that "*" on by one and the tokens after it
// take no more characters than the text has, so at most text length squared steps.
bool CompiledPattern::matches(const std::string& text) const {
  if (text.size() < least_length_ || (!has_run_ && text.size() != least_length_)) return false;
  std::size_t t = 0, p = 0;
  std::size_t star_p = std::string::npos, star_t = 0;
  while (t < text.size()) {
    if (p < tokens_.size() && tokens_[p].kind == Kind::kRun) {
      star_p = p++;
      star_t = t;
    } else if (p < tokens_.size() && matches_one(tokens_[p], static_cast<unsigned char>(text[t]))) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < tokens_.size() && tokens_[p].kind == Kind::kRun) ++p;
  return p == tokens_.size();
}

bool pattern_match(const std::string& text, const std::string& pattern) {
  return CompiledPattern(pattern).matches(text);
}

}  // namespace qn
