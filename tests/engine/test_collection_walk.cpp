// The walk of a collection run over a folder tree, with real folders and with a lister that fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/planned_folder.h"
#include "support/fixtures.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::TempFolder;

std::vector<std::string> folders(const std::vector<PlanItem>& plan, const std::string& root) {
  std::vector<std::string> folders;
  for (const PlanItem& item : plan) folders.push_back(item.folder.substr(root.size()));
  return folders;
}

TEST(CollectionWalk, VisitsFoldersInByteOrderOfTheirPaths) {
#ifdef _WIN32
  GTEST_SKIP() << "folders \"B\" and \"b\" are one folder on Windows";
#endif
  TempFolder dir;
  for (const char* folder : {"b", "a", "a/x", "a-b", "B", "a/x/y"}) dir.write(std::string(folder) + "/c.qn", "");
  dir.write("top.qn", "");
  dir.write("none/readme.txt", "");
  std::vector<PlanItem> plan = walk_collection(dir.path().string());
  std::string s(1, kSep);
  EXPECT_EQ(folders(plan, dir.folder()),
            (std::vector<std::string>{"", "B" + s, "a-b" + s, "a" + s, "a" + s + "x" + s, "a" + s + "x" + s + "y" + s, "b" + s}));
  EXPECT_EQ(plan.front().checksum_file, dir.folder() + "top.qn");
}

TEST(CollectionWalk, LabelChecksumFilesAreToldApartByTheExactCaseOfLabelsQn) {
  std::vector<PlanItem> both = plan_folder("/m/", {"Chart.qn", "Chart Labels.qn", "u1.mp3"});
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].kind, ItemKind::kAudio);
  EXPECT_EQ(both[0].checksum_file, "/m/Chart.qn");
  EXPECT_EQ(both[1].kind, ItemKind::kLabels);
  EXPECT_EQ(both[1].checksum_file, "/m/Chart Labels.qn");
  // As for one folder: "labels.QN" is an audio checksum file, so the folder holds two of them.
  std::vector<PlanItem> two = plan_folder("/m/", {"Chart.qn", "Chart labels.QN"});
  ASSERT_EQ(two.size(), 1u);
  EXPECT_EQ(two[0].kind, ItemKind::kProblem);
  EXPECT_TRUE(plan_folder("/m/", {"notes.txt", "x.qnx"}).empty());
}

TEST(CollectionWalk, SeveralChecksumFilesOfAKindAreAProblemNamingThem) {
  std::vector<PlanItem> plan = plan_folder("/m/", {"a.qn", "b.qn", "One Labels.qn"});
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].kind, ItemKind::kProblem);
  EXPECT_NE(plan[0].message.find("a.qn, b.qn"), std::string::npos);
  EXPECT_EQ(plan[1].kind, ItemKind::kLabels) << "the label run is still made";
  plan = plan_folder("/m/", {"c.qn", "A Labels.qn", "B Labels.qn"});
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].kind, ItemKind::kAudio);
  EXPECT_EQ(plan[1].kind, ItemKind::kProblem);
}

TEST(ChooseChecksumFile, OneFolderGetsItsFileAndKindOrSaysWhyNot) {
  struct Case {
    std::vector<const char*> files;
    const char* chosen;  // a name in the folder, or none
    bool images;
    ChecksumChoice choice;
    ItemKind kind;         // when chosen
    const char* checksum;  // when chosen: the name of the file of the run ("" : the run's own search)
    int found;             // when not chosen
  };
  const Case kCases[] = {
      {{"Chart.qn"}, "", false, ChecksumChoice::kChosen, ItemKind::kAudio, "Chart.qn", 0},
      {{"Chart Labels.qn"}, "", false, ChecksumChoice::kChosen, ItemKind::kLabels, "Chart Labels.qn", 0},
      {{"u1.mp3"}, "", false, ChecksumChoice::kNone, ItemKind::kAudio, "", 0},
      {{"a.qn", "b.qn"}, "", false, ChecksumChoice::kSeveral, ItemKind::kAudio, "", 2},
      {{"a.qn", "b.qn"}, "b.qn", false, ChecksumChoice::kChosen, ItemKind::kAudio, "b.qn", 0},
      {{"a.qn", "A Labels.qn"}, "A Labels.qn", false, ChecksumChoice::kChosen, ItemKind::kLabels, "A Labels.qn", 0},
      {{"a.qn", "b.qn", "A Labels.qn"}, "", true, ChecksumChoice::kChosen, ItemKind::kLabels, "", 0},
      {{"a.qn", "A Labels.qn", "B Labels.qn"}, "", true, ChecksumChoice::kSeveral, ItemKind::kLabels, "", 2},
      {{"a.qn", "A Labels.qn", "B Labels.qn"}, "a.qn", true, ChecksumChoice::kChosen, ItemKind::kLabels, "a.qn", 0},
  };
  for (const Case& c : kCases) {
    TempFolder dir;
    for (const char* file : c.files) dir.write(file, "");
    const std::string chosen = *c.chosen ? dir.folder() + c.chosen : "";
    const FolderChoice got = choose_checksum_file(dir.folder(), chosen, c.images);
    const std::string name = std::string(c.files.front()) + ", " + c.chosen + (c.images ? ", images" : "");
    EXPECT_EQ(got.choice, c.choice) << name;
    if (c.choice == ChecksumChoice::kChosen) {
      EXPECT_EQ(got.planned.kind, c.kind) << name;
      EXPECT_EQ(got.planned.folder, dir.folder()) << name;
      EXPECT_EQ(got.planned.checksum_file, *c.checksum ? dir.folder() + c.checksum : "") << name;
    } else {
      EXPECT_EQ(file_count(got.found), c.found) << name;
    }
  }
}

TEST(CollectionWalk, AFolderThatCannotBeListedIsAProblemAndTheWalkGoesOn) {
#ifdef _WIN32
  GTEST_SKIP() << "the fake folder tree is written with \"/\" paths";
#endif
  std::map<std::string, std::vector<platform::SearchEntry>> tree = {
      {"/c/", {{"a", true, true}, {"locked", true, true}, {"z", true, true}, {"top.qn", false, false}}},
      {"/c/a/", {{"a.qn", false, false}}},
      {"/c/locked/", {}},
      {"/c/z/", {{"z.qn", false, false}, {"link", true, false}}},
  };
  auto lister = [&tree](const std::string& folder, std::vector<platform::SearchEntry>& entries, std::error_code& error) {
    if (folder == "/c/locked/") {
      error = std::make_error_code(std::errc::permission_denied);
      return false;
    }
    entries = tree.at(folder);
    return true;
  };
  std::vector<PlanItem> plan = walk_collection("/c", lister);
  ASSERT_EQ(plan.size(), 4u);
  EXPECT_EQ(plan[0].folder, "/c/");
  EXPECT_EQ(plan[1].folder, "/c/a/");
  EXPECT_EQ(plan[2].kind, ItemKind::kProblem);
  EXPECT_EQ(plan[2].folder, "/c/locked/");
  EXPECT_EQ(plan[2].error_number, static_cast<int>(std::errc::permission_denied));
  EXPECT_NE(plan[2].message.find("Reading the folder failed"), std::string::npos);
  EXPECT_EQ(plan[3].folder, "/c/z/") << "the link is neither entered nor taken for a file";
}

TEST(CollectionSummary, NothingVerifiedFoldersCountAsStepErrorsUnlessNothingAtAllWasVerified) {
  RunResult none;
  none.nothing_verified = true;
  Summary only_none;
  only_none.add_run(none);
  EXPECT_EQ(only_none.exit_status(), 66);
  EXPECT_EQ(only_none.totals().errors, 1);

  RunResult missing;
  missing.kind = FolderKind::kMp3;
  missing.tally.add(EntryStatus::kMissing);
  missing.tally.add(EntryStatus::kNoVerdict);
  Summary mixed;
  mixed.add_run(none);
  mixed.add_run(missing);
  EXPECT_EQ(mixed.exit_status(), 8 | 2 | 1);
  EXPECT_EQ(mixed.totals().fail, 1) << "an entry without a verdict counts as failed";
}

}  // namespace
}  // namespace qn
