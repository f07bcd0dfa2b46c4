// The name pattern match and the file-search wildcard match on arbitrary pattern/name pairs.
// Input: the pattern up to the first NUL, then the name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/step_error.h"
#include "fuzz_support.h"
#include "naming/pattern_match.h"
#include "platform/find_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string pattern = qn::fuzz::take_piece(rest, '\0');
  const std::string name(rest);
  try {
    const bool matched = qn::pattern_match(name, pattern);
    // A text always matches itself when it holds no character the pattern language reads.
    if (pattern.find_first_of("?*#[") == std::string::npos && (pattern == name) != matched) __builtin_trap();
  } catch (const qn::StepError&) {
  }
  const bool wild = qn::platform::MatchesPattern(name, pattern);
  if (pattern.find_first_of("*?;") == std::string::npos && pattern.find(' ') == std::string::npos &&
      name == pattern && !wild)
    __builtin_trap();
  if (!qn::platform::MatchesPattern(name, "*") ) __builtin_trap();
  (void)qn::platform::widen_pattern(pattern);
  (void)qn::platform::TrimAtNul(name);
  (void)qn::platform::AddBackslash(name);
  return 0;
}
