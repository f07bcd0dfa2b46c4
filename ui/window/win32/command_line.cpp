#include "ui/window/win32/command_line.h"

#include <cwctype>

namespace qn {

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool same_path_text(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// The length of the unquoted program name at the start of `line`: the module path when the line
// spells it (an unquoted verb command under "Program Files" holds blanks), else up to a blank.
size_t unquoted_name_length(std::wstring_view line, std::wstring_view module_path) {
  std::wstring_view spellings[] = {module_path, module_path};
  if (module_path.size() > 4 && same_path_text(module_path.substr(module_path.size() - 4), L".exe"))
    spellings[1] = module_path.substr(0, module_path.size() - 4);
  for (std::wstring_view name : spellings) {
    if (name.empty() || line.size() < name.size() || !same_path_text(line.substr(0, name.size()), name)) continue;
    if (line.size() == name.size() || is_blank(line[name.size()])) return name.size();
  }
  size_t i = 0;
  while (i < line.size() && !is_blank(line[i])) ++i;
  return i;
}

}  // namespace

std::wstring argument_text(std::wstring_view command_line, std::wstring_view module_path) {
  size_t i = 0;
  if (!command_line.empty() && command_line[0] == L'"') {
    // A quoted name ends at the next quote mark; blanks inside it belong to the name.
    size_t close = command_line.find(L'"', 1);
    i = close == std::wstring_view::npos ? command_line.size() : close + 1;
  } else {
    i = unquoted_name_length(command_line, module_path);
  }
  while (i < command_line.size() && is_blank(command_line[i])) ++i;
  std::wstring_view argument = command_line.substr(i);

  // "Open with" and a drop onto the program quote the path; one pair around all of it goes.
  size_t last = argument.size();
  while (last > 0 && is_blank(argument[last - 1])) --last;
  if (last >= 2 && argument[0] == L'"' && argument[last - 1] == L'"' &&
      argument.substr(1, last - 2).find(L'"') == std::wstring_view::npos)
    return std::wstring(argument.substr(1, last - 2));
  return std::wstring(argument);
}

}  // namespace qn
