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
  std::string exe = qn::program_file_path();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(fs::is_regular_file(exe));
  EXPECT_EQ(qn::FileNameOfPath(exe).rfind("test_platform", 0), 0u);
  std::string folder = qn::program_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), qn::kSep);
  EXPECT_EQ(folder, fs::path(exe).parent_path().string() + qn::kSep);
}

TEST(ReportPath, BesideTheProgramWhenWritableKeepingAnOlderReportUntilTheRunWrites) {
  TempFolder program, state;
  fs::path old_report = program.path() / "Quarnell Verify.txt";
  std::ofstream(old_report, std::ios::binary) << "old report";

  std::string path = qn::choose_report_path(program.text(), (state.path() / "quarnell-verify").string());
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

  std::string path = qn::choose_report_path(not_a_folder.string() + qn::kSep, state.string());
  EXPECT_EQ(path, state.string() + qn::kSep + "Quarnell Verify.txt");
  EXPECT_TRUE(fs::is_directory(state));
}

TEST(ReportPath, NamesTheProgramFolderWhenNothingIsWritableSoTheFailedWriteSaysWhere) {
  TempFolder scratch;
  fs::path blocker = scratch.path() / "blocker";
  std::ofstream(blocker) << "x";
  std::string program = blocker.string() + qn::kSep;
  EXPECT_EQ(qn::choose_report_path(program, (blocker / "state").string()), program + "Quarnell Verify.txt");
  EXPECT_EQ(qn::choose_report_path(program, ""), program + "Quarnell Verify.txt");
}
