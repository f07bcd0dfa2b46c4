#include "ui/window/report_place.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/paths.h"
#include "platform/program_folder.h"
#include "support/fixtures.h"

namespace qn {
namespace {

namespace fs = std::filesystem;

TEST(ReportPath, BesideTheProgramWhenWritableKeepingAnOlderReportUntilTheRunWrites) {
  test::TempFolder program, state;
  fs::path old_report = program.path() / "Quarnell Verify.txt";
  std::ofstream(old_report, std::ios::binary) << "old report";

  std::string path = choose_report_path(program.text(), (state.path() / "quarnell-verify").string(), true);
  EXPECT_EQ(path, program.text() + "Quarnell Verify.txt");
  EXPECT_EQ(test::read_file(old_report.string()), "old report");
  EXPECT_FALSE(fs::exists(state.path() / "quarnell-verify"));
}

TEST(ReportPath, FallsBackToTheStateFolderCreatingIt) {
  test::TempFolder scratch;
  // A "folder" that is a plain file cannot take the report.
  fs::path not_a_folder = scratch.path() / "program";
  std::ofstream(not_a_folder) << "x";
  fs::path state = scratch.path() / "state" / "quarnell-verify";

  std::string path = choose_report_path(not_a_folder.string() + kSep, state.string(), true);
  EXPECT_EQ(path, state.string() + kSep + "Quarnell Verify.txt");
  EXPECT_TRUE(fs::is_directory(state));
}

TEST(ReportPath, NamesTheProgramFolderWhenNothingIsWritableSoTheFailedWriteSaysWhere) {
  test::TempFolder scratch;
  fs::path blocker = scratch.path() / "blocker";
  std::ofstream(blocker) << "x";
  std::string program = blocker.string() + kSep;
  EXPECT_EQ(choose_report_path(program, (blocker / "state").string(), true), program + "Quarnell Verify.txt");
  EXPECT_EQ(choose_report_path(program, "", true), program + "Quarnell Verify.txt");
}

// The program folder takes the reports only when it is the user's own: not an installed program's
// folder, and never for root, whose own folders are the system's; the state folder takes them
// then, however writable the program folder is.
TEST(ReportPath, OnlyAProgramFolderOfTheUsersOwnTakesTheReport) {
  struct Case {
    const char* name;
    unsigned owner, user;
    bool beside;
  };
  for (const Case& c : {Case{"user's build tree", 1000, 1000, true}, Case{"installed, run by a user", 0, 1000, false},
                        Case{"installed, run as root", 0, 0, false}, Case{"another user's copy", 1001, 1000, false},
                        Case{"user's copy, run as root", 1000, 0, false}}) {
    SCOPED_TRACE(c.name);
    test::TempFolder program, state;
    const std::string fallback = (state.path() / "quarnell-verify").string();
    const std::string path =
        choose_report_path(program.text(), fallback, takes_users_reports(c.owner, c.user));
    EXPECT_EQ(path, c.beside ? program.text() + "Quarnell Verify.txt" : fallback + kSep + "Quarnell Verify.txt");
    EXPECT_EQ(fs::exists(program.path() / "Quarnell Verify.txt"), c.beside) << "nothing is left in a program folder";
  }
  // A copy the Windows installer made has its uninstaller beside it, which would leave reports behind.
  test::TempFolder portable, installed;
  std::ofstream(installed.path() / "Uninstall.exe") << "MZ";
  EXPECT_FALSE(installed_by_installer(portable.text()));
  EXPECT_TRUE(installed_by_installer(installed.text()));
}

#ifdef _WIN32
TEST(WindowsReportPath, IsQuarnellVerifyTxtInTheProgramsFolder) {
  const std::string folder = platform::program_folder();
  ASSERT_FALSE(folder.empty());
  const std::string path = report_path();
  EXPECT_EQ(path, folder + "Quarnell Verify.txt");
  EXPECT_NE(path.find("\\Quarnell Verify.txt"), std::string::npos);
  EXPECT_EQ(path.find('/'), std::string::npos) << path;
}
#endif

}  // namespace
}  // namespace qn
