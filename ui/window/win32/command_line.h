#pragma once
// The argument text of the window's start, taken from the whole command line of the process.
#include <string>
#include <string_view>

namespace qn {

// Everything after the program's own name (quoted or not), the blanks before it skipped, as one
// text: quote marks are kept and nothing is split.
std::wstring argument_text(std::wstring_view command_line);

}  // namespace qn
