#pragma once
#include <string>

namespace qn {

// The pattern match used on names: the whole text must match the whole pattern. "?" one character,
// "*" any run, "#" one decimal digit, "[...]" one character of the list (ranges "a-z", "!" first
// negates); every other character matches itself, case-sensitively. Throws StepError for a "["
// without its "]".
bool PatternMatch(const std::string& text, const std::string& pattern);

}  // namespace qn
