#include "platform/find_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/paths.h"
#include "platform/file_access.h"
#include "support/fixtures.h"

#ifndef _WIN32
#include <dirent.h>
#include <cerrno>
#endif

namespace qn {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

// The found paths relative to the searched folder, separators as "/".
std::vector<std::string> relative(const FileList& list, const std::string& base) {
  std::vector<std::string> out;
  EXPECT_FALSE(list.empty());
  if (list.empty()) return out;
  EXPECT_EQ(list[0], "");
  for (std::size_t i = 1; i < list.size(); ++i) {
    EXPECT_EQ(list[i].rfind(base, 0), 0u) << list[i];
    std::string rest = list[i].substr(base.size());
    for (char& c : rest)
      if (c == kSep) c = '/';
    out.push_back(rest);
  }
  return out;
}

using Names = std::vector<std::string>;

TEST(WidenPattern, TwoAndFourDigitYears) {
  EXPECT_EQ(platform::widen_pattern("u59_0001*.mp3"), "u59_0001*.mp3;u1959_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u67_1;x67_2"), "u67_1;x67_2;u1967_1;x1967_2");
  EXPECT_EQ(platform::widen_pattern("u1962_0001*.mp3"), "u*62_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u75_0001*.mp3"), "u*75_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u58_0001*.mp3"), "u*58_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u68_0001*.mp3"), "u*68_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("uEP_0001*.mp3"), "uEP_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u19EP_0001*.mp3"), "uEP_0001*.mp3");
  EXPECT_EQ(platform::widen_pattern("u*_*.mp3"), "u**_*.mp3");
  EXPECT_EQ(platform::widen_pattern("u*_*.flac;u*_*.nfo"), "u**_*.flac;u*_*.nfo");
}

TEST(WidenPattern, OtherPatternsUnchangedAndTestsAreCaseSensitive) {
  for (const char* p : {"*.qn", "*Labels.qn", "u*.jpg", "u*.mp3;u*.nfo", "U1962_0001*.mp3", "u", ""})
    EXPECT_EQ(platform::widen_pattern(p), p);
  EXPECT_EQ(platform::widen_pattern("x60_1_"), "x60_1_;x1960_1_");  // step 1 does not look at the "u"
  EXPECT_EQ(platform::widen_pattern("uep_1"), "u*ep_1");
}

TEST(MatchesPattern, WholeNameWithoutRegardToCase) {
  EXPECT_TRUE(platform::MatchesPattern("u1962_0001 A - B.mp3", "u*.mp3;u*.nfo"));
  EXPECT_TRUE(platform::MatchesPattern("u1962_0001 A - B.nfo", "u*.mp3;u*.nfo"));
  EXPECT_TRUE(platform::MatchesPattern("U1962_0001.MP3", "u*.mp3;u*.nfo"));
  EXPECT_FALSE(platform::MatchesPattern("u1962_0001.mp3.bak", "u*.mp3"));
  EXPECT_FALSE(platform::MatchesPattern("xu1.mp3", "u*.mp3"));
  EXPECT_TRUE(platform::MatchesPattern("ab.qn", "x;  *.QN"));  // blanks before a piece skipped
  EXPECT_TRUE(platform::MatchesPattern("a1c", "a?c"));
  EXPECT_FALSE(platform::MatchesPattern("ac", "a?c"));
  EXPECT_TRUE(platform::MatchesPattern("a#[", "a#["));  // no other wildcards here
  EXPECT_FALSE(platform::MatchesPattern("a1x", "a#x"));
}

TEST(PathHelpers, AddBackslashAndTrimAtNul) {
  EXPECT_EQ(platform::AddBackslash(""), "");
  EXPECT_EQ(platform::AddBackslash("a"), std::string("a") + kSep);
  EXPECT_EQ(platform::AddBackslash(std::string("a") + kSep), std::string("a") + kSep);
  EXPECT_EQ(platform::TrimAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(platform::TrimAtNul("abc"), "abc");
}

TEST(FindFiles, FolderWithOrWithoutSeparatorGivesSamePaths) {
  TempFolder dir("find");
  dir.make_file("u1.mp3");
  dir.make_file("x.mp3");
  const FileList a = platform::FindFiles(dir.path().string(), "u*.mp3", false);
  const FileList b = platform::FindFiles(dir.text(), "u*.mp3", false);
  ASSERT_EQ(file_count(a), 1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[1], dir.text() + "u1.mp3");
}

TEST(FindFiles, NothingFoundAndMissingFolderGiveEmptyList) {
  TempFolder dir("find");
  dir.make_file("a.txt");
  EXPECT_EQ(platform::FindFiles(dir.text(), "*.qn", false), empty_file_list());
  EXPECT_EQ(platform::FindFiles(dir.text() + "missing", "*", true), empty_file_list());
  EXPECT_EQ(platform::FindFiles((dir.path() / "a.txt").string(), "*", true), empty_file_list());
}

TEST(FindFiles, SubFolderMatchesStandAtTheSubFoldersPlaceInByteOrder) {
  TempFolder dir("find");
  for (const char* f : {"u3.mp3", "u1.mp3", "B/u2.mp3", "B/C/u2c.mp3", "B/u2a.mp3", "Z/u9.mp3",
                        ".hidden/u0.mp3", "u5.jpg", "a/u4.mp3"})
    dir.make_file(f);
  const std::string base = dir.text();
  // "B" < "Z" < "a" < "u1.mp3" in byte order; ".hidden" is never entered.
  EXPECT_EQ(relative(platform::FindFiles(base, "u*.mp3", true), base),
            (Names{"B/C/u2c.mp3", "B/u2.mp3", "B/u2a.mp3", "Z/u9.mp3", "a/u4.mp3", "u1.mp3", "u3.mp3"}));
  EXPECT_EQ(relative(platform::FindFiles(base, "u*.mp3", false), base), (Names{"u1.mp3", "u3.mp3"}));
}

TEST(FindFiles, FoldersNeverMatchAndDotFilesDo) {
  TempFolder dir("find");
  dir.make_folder("u_folder.mp3");
  dir.make_file(".qn");
  dir.make_file("Set.QN");
  const std::string base = dir.text();
  EXPECT_EQ(relative(platform::FindFiles(base, "*.qn", false), base), (Names{".qn", "Set.QN"}));
  EXPECT_EQ(file_count(platform::FindFiles(base, "u*.mp3", true)), 0);
}

TEST(FindFiles, WidenedYearsFindBothSpellings) {
  TempFolder dir("find");
  for (const char* f : {"u59_x.mp3", "u1959_x.mp3", "u1960_x.mp3"}) dir.make_file(f);
  const std::string base = dir.text();
  EXPECT_EQ(relative(platform::FindFiles(base, "u59_*", false), base), (Names{"u1959_x.mp3", "u59_x.mp3"}));
  EXPECT_EQ(relative(platform::FindFiles(base, "u1959_*", false), base), (Names{"u1959_x.mp3", "u59_x.mp3"}));
}

TEST(FindFiles, LinksToFoldersAreNotFollowed) {
  TempFolder dir("find");
  dir.make_file("real/u1.mp3");
  std::error_code ec;
  fs::create_directory_symlink(dir.path() / "real", dir.path() / "link", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  fs::create_directory_symlink(dir.path(), dir.path() / "real" / "loop", ec);
  const std::string base = dir.text();
  EXPECT_EQ(relative(platform::FindFiles(base, "u*", true), base), (Names{"real/u1.mp3"}));
}

#ifndef _WIN32
struct Opened {
  static inline int folders = 0;
  static inline int fail_with = 0;
  ~Opened() { platform::system_calls() = platform::real_system_calls(); }
};

// Searches of one listing find what the searches of the folder find, problems included, while
// the folder is read once.
TEST(FolderListing, EverySearchOfOneListingFindsWhatFindFilesFinds) {
  const Opened restore;
  TempFolder dir("find");
  for (const char* name : {"u1975_01 A - B.mp3", "U1975_02 A - B.MP3", "u1975_02 A - B.nfo", "u1975_03.flac",
                           "x.qn", "sub/u1975_04 A - B.mp3", "uEP_05.mp3"})
    dir.make_file(name);
  platform::SystemCalls& calls = platform::system_calls();
  calls.fdopendir = [](int fd) -> DIR* {
    ++Opened::folders;
    if (Opened::fail_with) {
      errno = Opened::fail_with;
      return nullptr;
    }
    return platform::real_system_calls().fdopendir(fd);
  };
  const struct {
    const char* patterns;
    bool recurse;
  } searches[] = {{"u*_*.flac", false}, {"u*_*.flac;u*_*.nfo", false}, {"u*.mp3;u*.nfo", false},
                  {"u*_*.mp3", true},   {" *.QN", false},               {"u1975_0?*", false}};
  for (const int fail_with : {0, EACCES}) {
    Opened::fail_with = fail_with;
    Opened::folders = 0;
    const platform::FolderListing listing(dir.text());
    EXPECT_EQ(Opened::folders, 1);
    for (const auto& search : searches) {
      std::vector<platform::SearchProblem> from_listing, from_folder;
      const FileList found = listing.find(search.patterns, search.recurse, &from_listing);
      const int before = Opened::folders;
      EXPECT_EQ(found, platform::FindFiles(dir.text(), search.patterns, search.recurse, &from_folder)) << search.patterns;
      if (!search.recurse) {
        EXPECT_EQ(Opened::folders, before + 1) << "only platform::FindFiles reads the folder";
      }
      ASSERT_EQ(from_listing.size(), from_folder.size()) << search.patterns;
      for (std::size_t i = 0; i < from_listing.size(); ++i) {
        EXPECT_EQ(from_listing[i].folder, from_folder[i].folder);
        EXPECT_EQ(from_listing[i].error, from_folder[i].error);
      }
      EXPECT_EQ(from_folder.size(), fail_with ? 1u : 0u);
    }
  }
}
#endif

TEST(FindFiles, EmptyFolderTextSearchesCurrentDirectoryWithBareNames) {
  TempFolder dir("find");
  dir.make_file("u1.mp3");
  dir.make_file("sub/u2.mp3");
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  const FileList found = platform::FindFiles("", "u*.mp3", true);
  fs::current_path(before);
  EXPECT_EQ(found, (FileList{"", std::string("sub") + kSep + "u2.mp3", "u1.mp3"}));
}

}  // namespace
}  // namespace qn
