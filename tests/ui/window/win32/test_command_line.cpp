#include <gtest/gtest.h>

#include <string>

#include "ui/window/win32/command_line.h"

namespace qn {
namespace {

// The argument text is the rest of the line after the program's name, as one path: the shell's
// verbs pass "...exe %1" without quote marks, so blanks must not split it, neither in the argument
// nor in an unquoted program path; one pair of quote marks around the whole argument goes.
TEST(ArgumentText, IsEverythingAfterTheProgramsOwnName) {
  const wchar_t* installed = LR"(C:\Program Files\Quarnell Verify\quarnell-verify.exe)";
  struct Case {
    const wchar_t* command_line;
    const wchar_t* module_path;
    const wchar_t* argument;
  };
  const Case cases[] = {
      {LR"("C:\Program Files\Quarnell\quarnell-verify.exe" C:\Music\Top 6\u1964_001 - A - B.mp3)",
       LR"(C:\Program Files\Quarnell\quarnell-verify.exe)", LR"(C:\Music\Top 6\u1964_001 - A - B.mp3)"},
      {LR"(C:\Quarnell\quarnell-verify.exe C:\Music\Top 6\Top 6.qn)", LR"(C:\Quarnell\quarnell-verify.exe)",
       LR"(C:\Music\Top 6\Top 6.qn)"},
      // An unquoted program path with blanks, as the verb's command gives it, in any letter case
      // and without ".exe".
      {LR"(C:\Program Files\Quarnell Verify\quarnell-verify.exe C:\x\y.mp3)", installed, LR"(C:\x\y.mp3)"},
      {LR"(c:\program files\quarnell verify\QUARNELL-VERIFY.EXE C:\x\y.mp3)", installed, LR"(C:\x\y.mp3)"},
      {LR"(C:\Program Files\Quarnell Verify\quarnell-verify C:\x\y.mp3)", installed, LR"(C:\x\y.mp3)"},
      {LR"(C:\Program Files\Quarnell Verify\quarnell-verify.exe)", installed, L""},
      // Quoted by "Open with" or a drop: taken without the pair; two pairs are no one path.
      {L"quarnell-verify.exe \t \"C:\\a b\\x.mp3\" ", installed, LR"(C:\a b\x.mp3)"},
      {LR"("C:\Program Files\Quarnell Verify\quarnell-verify.exe" "C:\Music\Top 6")", installed, LR"(C:\Music\Top 6)"},
      {LR"(quarnell-verify.exe "C:\a" "C:\b")", installed, LR"("C:\a" "C:\b")"},
      {LR"(quarnell-verify.exe ")", installed, LR"(")"},
      {LR"("C:\Program Files\Quarnell\quarnell-verify.exe")", installed, L""},
      {L"quarnell-verify.exe   ", installed, L""},
      {L"", installed, L""},
      // A name whose quote mark is never closed takes the whole line.
      {LR"("C:\Quarnell\quarnell-verify.exe C:\Music\x.mp3)", installed, L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(argument_text(c.command_line, c.module_path), c.argument) << c.command_line;
}

}  // namespace
}  // namespace qn
