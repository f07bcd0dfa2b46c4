#include <gtest/gtest.h>

#include "base/file_list.h"
#include "base/paths.h"

namespace qn {
namespace {

FileList file_list(std::initializer_list<std::string> items) {
  FileList list = empty_file_list();
  list.insert(list.end(), items);
  return list;
}

TEST(SortFileList, OrdersByUnsignedBytesAndLeavesElementZero) {
  FileList list = file_list({"b", "B", "a\xE9", "a", "ab", "A"});
  SortFileList(list);
  EXPECT_EQ(list, file_list({"A", "B", "a", "ab", "a\xE9", "b"}));
  FileList one = file_list({"x"});
  SortFileList(one);
  EXPECT_EQ(one, file_list({"x"}));
  FileList none = empty_file_list();
  SortFileList(none);
  EXPECT_EQ(none.size(), 1u);
}

TEST(MergeFileLists, AppendsBAfterAWithoutSorting) {
  FileList a = file_list({"z", "y"}), b = file_list({"c", "b", "a"});
  EXPECT_EQ(MergeFileLists(&a, b), file_list({"z", "y", "c", "b", "a"}));
  EXPECT_EQ(MergeFileLists(nullptr, b), b);
}

TEST(SortedLookup, FindsElementsRegardlessOfLetterCase) {
  FileList list = file_list({"/m/U1964_001.MP3", "/m/u1964_002.mp3", "/m/u1964_003.mp3"});
  SortFileList(list);
  EXPECT_EQ(SortedLookup(list, "/m/u1964_001.mp3"), 1);
  EXPECT_EQ(SortedLookup(list, "/M/U1964_003.MP3"), 3);
  EXPECT_EQ(SortedLookup(list, "/m/u1964_004.mp3"), -1);
  EXPECT_EQ(SortedLookup(list, ""), -1) << "element 0 is not a file";
}

// Paths whose stored order and upper-cased order disagree: a bisection that decides on
// upper-cased texts over this list misses "/m/abc.mp3" ("_" lies between "Z" and "a").
TEST(SortedLookup, FindsEveryPresentElementWhereCaseOrderDisagrees) {
  FileList list = file_list({"/m/Zed.mp3", "/m/_x.mp3", "/m/abc.mp3", "/m/b.mp3", "/m/c.mp3"});
  SortFileList(list);
  for (int i = 1; i < static_cast<int>(list.size()); ++i) EXPECT_EQ(SortedLookup(list, list[i]), i) << list[i];
  EXPECT_GT(SortedLookup(list, "/M/_X.MP3"), 0);
  EXPECT_GT(SortedLookup(list, "/m/zed.mp3"), 0);
}

TEST(SortedIndex, SkipsClaimedElementsAndPrefersTheExactSpelling) {
  FileList list = file_list({"/m/a.mp3", "/m/A.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3"});
  SortFileList(list);
  SortedIndex index(list);
  int exact = index.SortedLookup("/m/a.mp3");
  ASSERT_GT(exact, 0);
  EXPECT_EQ(list[exact], "/m/a.mp3");
  list[exact].clear();  // claimed
  int other = index.SortedLookup("/m/a.mp3");
  ASSERT_GT(other, 0);
  EXPECT_EQ(list[other], "/m/A.mp3");
  list[other].clear();
  EXPECT_EQ(index.SortedLookup("/m/a.mp3"), -1) << "a claimed file is not found again";
  // Claims in the middle do not hide the elements around them.
  int b = index.SortedLookup("/m/b.mp3");
  list[b].clear();
  EXPECT_GT(index.SortedLookup("/m/c.mp3"), 0);
  EXPECT_GT(index.SortedLookup("/m/d.mp3"), 0);
}

TEST(FindInFileList, ReturnsFirstCaseBlindMatchFromOne) {
  FileList list = file_list({"x/A.jpg", "x/a.jpg"});
  EXPECT_EQ(FindInFileList(list, "X/a.JPG"), 1);
  EXPECT_EQ(FindInFileList(list, ""), -1);
}

TEST(ListAdditionalFiles, ListsUnclaimedNamesWithoutFolders) {
  std::string sep(1, kSep);
  FileList list = file_list({"f" + sep + "a.mp3", "", "f" + sep + "sub" + sep + "c.nfo"});
  EXPECT_EQ(ListAdditionalFiles(list), "\r\nAdditional Files Found\r\na.mp3\r\nc.nfo\r\n");
  EXPECT_EQ(ListAdditionalFiles(file_list({"", ""})), "");
}

TEST(PathHelpers, SplitAtTheLastSeparator) {
  std::string sep(1, kSep);
  EXPECT_EQ(FolderOfPath("C:" + sep + "x" + sep + "y.qn"), "C:" + sep + "x" + sep);
  EXPECT_EQ(FolderOfPath("y.qn"), "");
  EXPECT_EQ(FileNameOfPath("y.qn"), "y.qn");
  EXPECT_EQ(StripLeadingU(" u12"), "u12");
  EXPECT_EQ(StripLeadingU("U12 "), "12");
}

}  // namespace
}  // namespace qn
