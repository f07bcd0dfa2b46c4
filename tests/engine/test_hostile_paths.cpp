// The file search on names and trees that break naive code: bytes that are not UTF-8, paths past
// 260 characters, and symbolic-link loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/verify.h"
#include "platform/find_files.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::FakeMp3;
using test::RecordingHost;
using test::TempFolder;

#ifndef _WIN32
TEST(HostilePaths, NamesThatAreNotUtf8AreFoundAndVerifiedByteForByte) {
  TempFolder dir;
  const std::string name = "u1964_001 - \xFF\xFE\x80 - \xC3(.mp3";
  FakeMp3 mp3 = FakeMp3::Make(0, 6, false);
  dir.write(name, mp3.bytes);
  FileList found = platform::FindFiles(dir.folder(), "u*.mp3", false);
  ASSERT_EQ(file_count(found), 1);
  EXPECT_EQ(found[1], dir.folder() + name);

  const std::string qn = dir.write("c.qn", name + mp3.Fingerprint() + "\r\nu1964_002 - \xFF - x.nfo\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, true, host);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[1].status, EntryStatus::kPlaceholderCreated);
  EXPECT_EQ(test::read_file(dir.path() / "u1964_002 - \xFF - x.nfo"), "u1964_002 - \xFF - x.nfo\r\n");
}
#endif

TEST(HostilePaths, PathsLongerThan260Characters) {
  TempFolder dir;
  fs::path deep = dir.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const std::string name = "u1964_001 - " + std::string(200, 'N') + " - T.mp3";
  FakeMp3 mp3 = FakeMp3::Make(0, 6, false);
  const std::string folder = deep.string() + kSep;
  std::ofstream(deep / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(mp3.bytes.data()), static_cast<std::streamsize>(mp3.bytes.size()));
  ASSERT_GT((folder + name).size(), 600u);

  FileList recursive = platform::FindFiles(dir.folder(), "u*.mp3", true);
  ASSERT_EQ(file_count(recursive), 1);
  EXPECT_EQ(recursive[1], folder + name);

  const std::string qn = folder + "c.qn";
  std::ofstream(qn, std::ios::binary) << name << mp3.Fingerprint() << "\r\n";
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(folder, qn, false, host);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_TRUE(host.errors.empty());
}

// Names that no 8-bit code page spells: found by the search under the bytes the checksum file
// holds, and verified, in a folder that carries such a name too.
TEST(HostilePaths, CyrillicAndCjkNamesAreFoundAndVerified) {
  TempFolder dir;
  const std::string folder = dir.folder() + "\xD0\xA1\xD0\xB1\xD0\xBE\xD1\x80\xD0\xBD\xD0\xB8\xD0\xBA \xE5\x8F\x8E\xE9\x8C\xB2" + kSep;  // "Сборник 収録"
  const std::vector<std::string> names = {
      "u1964_001 - \xD0\x9E\xD0\xB3\xD0\xBD\xD0\xB8 - \xD0\x9F\xD1\x80\xD0\xB8\xD0\xBB\xD0\xB8\xD0\xB2.mp3",  // "Огни - Прилив"
      "u1964_002 - \xE7\xB4\x99\xE3\x81\xAE\xE5\x87\xA7 - \xE6\xB8\xAF.mp3",                               // "紙の凧 - 港"
      "u1964_003 - \xF0\x9F\x8E\xB5 - Caf\xC3\xA9.mp3"};                                                     // a surrogate pair, "é"
  std::string qn;
  for (std::size_t i = 0; i < names.size(); ++i) {
    FakeMp3 mp3 = FakeMp3::Make(0, 6, false, static_cast<unsigned>(i) + 1);
    dir.write(folder.substr(dir.folder().size()) + names[i], mp3.bytes);
    qn += names[i] + mp3.Fingerprint() + "\r\n";
  }
  dir.write(folder.substr(dir.folder().size()) + "c.qn", qn);

  FileList found = platform::FindFiles(folder, "u*.mp3", false);
  ASSERT_EQ(file_count(found), 3);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(found[static_cast<int>(i) + 1], folder + names[i]);
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(folder, folder + "c.qn", false, host);
  ASSERT_EQ(r.entries.size(), 3u);
  for (const auto& entry : r.entries) EXPECT_EQ(entry.status, EntryStatus::kOk) << entry.line;
  EXPECT_TRUE(host.errors.empty());
}

TEST(HostilePaths, SymbolicLinkLoopsEndTheRecursiveSearch) {
  TempFolder dir;
  dir.write("a/u1.mp3", std::string("x"));
  dir.write("a/b/u2.mp3", std::string("x"));
  std::error_code ec;
  fs::create_directory_symlink(dir.path(), dir.path() / "a" / "b" / "up", ec);
  if (ec) GTEST_SKIP() << "symbolic links not available: " << ec.message();
  fs::create_directory_symlink(dir.path() / "a" / "b" / "self", dir.path() / "a" / "b" / "self");
  fs::create_directory_symlink(dir.path() / "a" / "loop2", dir.path() / "a" / "loop1");
  fs::create_directory_symlink(dir.path() / "a" / "loop1", dir.path() / "a" / "loop2");
  fs::create_symlink(dir.path() / "absent", dir.path() / "a" / "u3.mp3");

  FileList found = platform::FindFiles(dir.folder(), "u*.mp3", true);
  std::vector<std::string> names(found.begin() + 1, found.end());
  // The dangling link is a name like any other; no file is listed twice.
  EXPECT_EQ(names, (std::vector<std::string>{dir.folder() + "a/b/u2.mp3", dir.folder() + "a/u1.mp3",
                                             dir.folder() + "a/u3.mp3"}));
}

}  // namespace
}  // namespace qn
