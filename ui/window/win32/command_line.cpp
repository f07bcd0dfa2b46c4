#include "ui/window/win32/command_line.h"

namespace qn {

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::wstring argument_text(std::wstring_view command_line) {
  size_t i = 0;
  if (!command_line.empty() && command_line[0] == L'"') {
    // A quoted name ends at the next quote mark; blanks inside it belong to the name.
    size_t close = command_line.find(L'"', 1);
    i = close == std::wstring_view::npos ? command_line.size() : close + 1;
  } else {
    while (i < command_line.size() && !is_blank(command_line[i])) ++i;
  }
  while (i < command_line.size() && is_blank(command_line[i])) ++i;
  return std::wstring(command_line.substr(i));
}

}  // namespace qn
