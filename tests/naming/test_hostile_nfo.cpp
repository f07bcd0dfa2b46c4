// Placeholder creation through symbolic links: a link inside the verified folder must not carry a
// placeholder to a file outside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/step_error.h"
#include "naming/nfo.h"
#include "support/fixtures.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

#ifndef _WIN32
TEST(HostilePlaceholder, LinkedFolderOrLinkedFileLeadingOutsideIsRefused) {
  TempFolder outside, dir;
  std::error_code ec;
  fs::create_directory_symlink(outside.path(), dir.path() / "Albums", ec);
  if (ec) GTEST_SKIP() << "symbolic links not available: " << ec.message();
  const std::string victim = outside.write("notes.nfo", std::string("keep me\n"));
  fs::create_symlink(victim, dir.path() / "readme.nfo");

  EXPECT_THROW(create_placeholder(dir.folder(), "Albums/u1970_001 - A - T.nfo"), StepError);
  EXPECT_FALSE(fs::exists(outside.path() / "u1970_001 - A - T.nfo"));
  EXPECT_THROW(create_placeholder(dir.folder(), "readme.nfo"), StepError);
  EXPECT_EQ(test::read_file(victim), "keep me\n");
}

TEST(HostilePlaceholder, RealSubFoldersAndALinkedVerifiedFolderStillWork) {
  TempFolder real;
  real.write("Albums/keep.txt", std::string("x"));
  create_placeholder(real.folder(), "Albums/u1970_001 - A - T.nfo");
  EXPECT_EQ(test::read_file(real.path() / "Albums" / "u1970_001 - A - T.nfo"), "Albums/u1970_001 - A - T.nfo\r\n");

  // The verified folder itself may be reached through a link.
  TempFolder links;
  fs::create_directory_symlink(real.path(), links.path() / "collection");
  create_placeholder((links.path() / "collection").string() + kSep, "u1964_002 - A - T.nfo");
  EXPECT_TRUE(fs::exists(real.path() / "u1964_002 - A - T.nfo"));
}
#endif

}  // namespace
}  // namespace qn
