#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "base/paths.h"
#include "platform/file_access.h"

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

// The folder is made through the replaceable call table: a refusal of the system is the answer,
// not a taken name to pass over.
TEST(ReportPath, ARunFolderTheSystemRefusesIsAnError) {
  TempFolder reports;
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { qn::platform::system_calls() = qn::platform::real_system_calls(); }
  } restore;
  qn::platform::system_calls().mkdir = [](const char*, auto) {
    errno = EACCES;
    return -1;
  };
  std::error_code error;
  EXPECT_TRUE(qn::platform::make_new_folder(reports.path().string(), "Quarnell Verify", error).empty());
  EXPECT_EQ(error, std::errc::permission_denied);
  EXPECT_FALSE(fs::exists(reports.path() / "Quarnell Verify"));
}
