#include "naming/track_key.h"

#include "base/paths.h"
#include "base/step_error.h"
#include "base/text.h"

namespace qn {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The maximal runs of characters for which `want` holds, leftmost first; at most `limit` runs.
template <typename Pred>
std::vector<std::string> runs_of(const std::string& s, Pred want, std::size_t limit) {
  std::vector<std::string> runs;
  std::size_t i = 0;
  while (i < s.size() && runs.size() < limit) {
    while (i < s.size() && !want(s[i])) ++i;
    std::size_t start = i;
    while (i < s.size() && want(s[i])) ++i;
    if (i > start) runs.push_back(s.substr(start, i - start));
  }
  return runs;
}

}  // namespace

std::string TrackKey(const std::string& input, bool letters_only) {
  const std::string name = FileNameOfPath(input);
  std::vector<std::string> pieces = text::split(name, "_");
  if (pieces.size() < 2)
    throw StepError(kErrSubscript, "track key: no \"_\" in the file name: " + name);
  const std::string& chart = pieces[0];

  // Text from the first " - " or "(" on is dropped before the digits are taken.
  std::string tail = text::before_first(text::before_first(pieces[1], " - "), "(");
  std::vector<std::string> digits = runs_of(tail, is_digit, 2);
  // The cut at "." comes after the digits, so an extension's digit can still count as the
  // second run of a name without " - ".
  tail = text::before_first(tail, ".");
  std::vector<std::string> others = runs_of(tail, [](char c) { return !is_digit(c); }, 1);

  std::string letters = others.empty() ? std::string() : text::trim_blanks(others[0]);
  if (letters_only) return letters;
  std::string key = chart + "_";
  if (!digits.empty()) key += digits[0];
  key += letters;
  if (digits.size() > 1) key += digits[1];
  return key;
}

}  // namespace qn
