#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/paths.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("qn-progfolder-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string text() const { return path_.string() + qn::kSep; }

 private:
  fs::path path_;
};

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableWithItsSeparator) {
  std::string exe = qn::platform::program_file_path();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(fs::is_regular_file(exe));
  EXPECT_EQ(qn::FileNameOfPath(exe).rfind("test_platform", 0), 0u);
  std::string folder = qn::platform::program_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), qn::kSep);
  EXPECT_EQ(folder, fs::path(exe).parent_path().string() + qn::kSep);
}

TEST(ReportPath, BesideTheProgramWhenWritableKeepingAnOlderReportUntilTheRunWrites) {
  TempFolder program, state;
  fs::path old_report = program.path() / "Quarnell Verify.txt";
  std::ofstream(old_report, std::ios::binary) << "old report";

  std::string path = qn::platform::choose_report_path(program.text(), (state.path() / "quarnell-verify").string(), true);
  EXPECT_EQ(path, program.text() + "Quarnell Verify.txt");
  EXPECT_EQ(read_all(old_report), "old report");
  EXPECT_FALSE(fs::exists(state.path() / "quarnell-verify"));
}

TEST(ReportPath, FallsBackToTheStateFolderCreatingIt) {
  TempFolder scratch;
  // A "folder" that is a plain file cannot take the report.
  fs::path not_a_folder = scratch.path() / "program";
  std::ofstream(not_a_folder) << "x";
  fs::path state = scratch.path() / "state" / "quarnell-verify";

  std::string path = qn::platform::choose_report_path(not_a_folder.string() + qn::kSep, state.string(), true);
  EXPECT_EQ(path, state.string() + qn::kSep + "Quarnell Verify.txt");
  EXPECT_TRUE(fs::is_directory(state));
}

TEST(ReportPath, NamesTheProgramFolderWhenNothingIsWritableSoTheFailedWriteSaysWhere) {
  TempFolder scratch;
  fs::path blocker = scratch.path() / "blocker";
  std::ofstream(blocker) << "x";
  std::string program = blocker.string() + qn::kSep;
  EXPECT_EQ(qn::platform::choose_report_path(program, (blocker / "state").string(), true), program + "Quarnell Verify.txt");
  EXPECT_EQ(qn::platform::choose_report_path(program, "", true), program + "Quarnell Verify.txt");
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
    TempFolder program, state;
    const std::string fallback = (state.path() / "quarnell-verify").string();
    const std::string path =
        qn::platform::choose_report_path(program.text(), fallback, qn::platform::takes_users_reports(c.owner, c.user));
    EXPECT_EQ(path, c.beside ? program.text() + "Quarnell Verify.txt" : fallback + qn::kSep + "Quarnell Verify.txt");
    EXPECT_EQ(fs::exists(program.path() / "Quarnell Verify.txt"), c.beside) << "nothing is left in a program folder";
  }
  // A copy the Windows installer made has its uninstaller beside it, which would leave reports behind.
  TempFolder portable, installed;
  std::ofstream(installed.path() / "Uninstall.exe") << "MZ";
  EXPECT_FALSE(qn::platform::installed_by_installer(portable.text()));
  EXPECT_TRUE(qn::platform::installed_by_installer(installed.text()));
}

// Each collection run's reports go into a folder made for it: a name already there, folder or
// not, is passed over, never reused.
TEST(ReportPath, ARunFolderIsAlwaysANewOne) {
  TempFolder reports;
  std::error_code error;
  const std::string first = qn::platform::make_new_folder(reports.path().string(), "Quarnell Verify 2026-12-09 23-30-05", error);
  EXPECT_EQ(first, reports.text() + "Quarnell Verify 2026-12-09 23-30-05" + qn::kSep);
  std::ofstream(reports.path() / "Quarnell Verify 2026-12-09 23-30-05 (2)") << "x";
  const std::string second = qn::platform::make_new_folder(reports.path().string(), "Quarnell Verify 2026-12-09 23-30-05", error);
  EXPECT_EQ(second, reports.text() + "Quarnell Verify 2026-12-09 23-30-05 (3)" + qn::kSep);
  EXPECT_TRUE(fs::is_directory(second));
  EXPECT_TRUE(qn::platform::make_new_folder((reports.path() / "missing").string(), "x", error).empty());
  EXPECT_TRUE(error);
}
