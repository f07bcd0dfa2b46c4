#pragma once
// The argument text of the window's start, taken from the whole command line of the process.
#include <string>
#include <string_view>

namespace qn {

// Everything after the program's own name, the blanks before it skipped, as one text: nothing is
// split. The name is skipped as the line spells it: quoted up to the closing quote mark; unquoted,
// as `module_path` (the executable's full path, letter case aside, with or without ".exe") when
// the line starts with it, else up to the first blank. An argument wrapped whole in one pair of
// quote marks is taken without them: no file name holds a quote mark.
std::wstring argument_text(std::wstring_view command_line, std::wstring_view module_path);

}  // namespace qn
