#include <gtest/gtest.h>

#include <string>

#include "ui/window/win32/command_line.h"

namespace qn {
namespace {

// The argument text is the rest of the line after the program's name, as one path: the shell's
// verbs pass "...exe %1" without quote marks, so blanks must not split it, and quote marks that
// are there stay (a quoted argument names no folder of its own, and says so).
TEST(ArgumentText, IsEverythingAfterTheProgramsOwnName) {
  struct Case {
    const wchar_t* command_line;
    const wchar_t* argument;
  };
  const Case cases[] = {
      {LR"("C:\Program Files\Quarnell\quarnell-verify.exe" C:\Music\Top 6\u1964_001 - A - B.mp3)",
       LR"(C:\Music\Top 6\u1964_001 - A - B.mp3)"},
      {LR"(C:\Quarnell\quarnell-verify.exe C:\Music\Top 6\Top 6.qn)", LR"(C:\Music\Top 6\Top 6.qn)"},
      {L"quarnell-verify.exe \t \"C:\\a b\\x.mp3\"", LR"("C:\a b\x.mp3")"},
      {LR"("C:\Program Files\Quarnell\quarnell-verify.exe")", L""},
      {L"quarnell-verify.exe   ", L""},
      {L"", L""},
      // A name whose quote mark is never closed takes the whole line.
      {LR"("C:\Quarnell\quarnell-verify.exe C:\Music\x.mp3)", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(argument_text(c.command_line), c.argument) << c.command_line;
}

}  // namespace
}  // namespace qn
