// qnverify -r, --summary, --json and --jobs, through the real binary.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "cli/collection_fixture.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace qn {
namespace {

using test::CliRun;
using test::Collection;
using test::run_cli;
using test::without_dates;

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// root/Alpha (3 OK), root/Alpha/Sub (1 OK, 1 missing), root/Pics (labels: 2 OK, 1 missing),
// root/Plain (no checksum file).
struct Nested : Collection {
  Nested() {
    Audio("Alpha", 3);
    Audio("Alpha/Sub", 1, 1);
    Labels("Pics", 2);
    File("Plain/notes.txt", "nothing to verify here");
  }
};

TEST(Recursive, PrintsEachFolderReportInPathOrderThenTheSummary) {
#ifdef _WIN32
  GTEST_SKIP() << "the fixture writes its folder texts with \"/\"";
#endif
  Nested c;
  CliRun all = run_cli({"-r", c.root()});
  EXPECT_EQ(all.status, 2) << all.err;
  EXPECT_EQ(all.err, "") << "no progress line when standard error is not a terminal";

  std::string expected;
  for (const char* folder : {"Alpha", "Alpha/Sub", "Pics"}) {
    CliRun one = run_cli({c.folder(folder)});
    expected += one.crlf();
  }
  const std::string all_out = all.crlf();
  std::size_t summary_at = all_out.find("Summary\r\n");
  ASSERT_NE(summary_at, std::string::npos) << all_out;
  EXPECT_EQ(without_dates(all_out.substr(0, summary_at)), without_dates(expected));

  std::string summary = all_out.substr(summary_at);
  EXPECT_NE(summary.find("      3       3       0       0          0       0  mp3     " + c.folder("Alpha") + "\r\n"),
            std::string::npos) << summary;
  EXPECT_NE(summary.find("      2       1       0       1          0       0  mp3     " + c.folder("Alpha/Sub")),
            std::string::npos);
  EXPECT_NE(summary.find("      3       2       0       1          0       0  labels  " + c.folder("Pics")),
            std::string::npos);
  EXPECT_NE(summary.find("      8       6       0       2          0       0  total   3 folders\r\n"),
            std::string::npos);
  EXPECT_EQ(summary.find("Plain"), std::string::npos);

  CliRun only = run_cli({"-r", "--summary", c.root()});
  EXPECT_EQ(only.crlf(), summary + "qnverify: 8 entries in 3 folders: 6 OK, 0 FAIL, 2 MISSING, 0 additional, 0 errors\r\n");
  EXPECT_EQ(only.status, all.status);
}

TEST(Recursive, AFolderWithAudioAndLabelChecksumFilesGetsBothRuns) {
  Collection c;
  c.Audio("Both", 2);
  c.Labels("Both", 1);
  CliRun run = run_cli({"-r", "--summary", c.root()});
  EXPECT_NE(run.out.find("  mp3     " + c.folder("Both")), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  labels  " + c.folder("Both")), std::string::npos);
  EXPECT_NE(run.crlf().find("total   1 folder\r\n"), std::string::npos);
  EXPECT_EQ(run.status, 2) << "the label line without an image";
}

TEST(Recursive, SeveralAudioChecksumFilesAreReportedAndSkipped) {
  Collection c;
  c.Audio("Good", 1);
  c.Audio("Twice", 1, 0, "a.qn");
  c.Audio("Twice", 1, 0, "b.qn");
  CliRun run = run_cli({"-r", c.root()});
  EXPECT_EQ(run.status, 8) << run.err;
  EXPECT_EQ(count(run.err, "\n"), 1u) << run.err;
  EXPECT_EQ(run.err.rfind("qnverify: " + c.folder("Twice") + ": error ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("a.qn, b.qn"), std::string::npos);
  EXPECT_EQ(count(run.out, "Quarnell mp3 Verify"), 1u) << "only Good is verified";
  EXPECT_NE(run.out.find("      0       0       0       0          0       1  error   " + c.folder("Twice")),
            std::string::npos) << run.out;
}

TEST(Recursive, LinksToFoldersAreNotFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links to folders need privileges on Windows";
#endif
  Collection c;
  c.Audio("Real", 1);
  fs::create_directory_symlink(c.folder("Real"), fs::path(c.root()) / "Link");
  fs::create_directory_symlink(c.root(), fs::path(c.root()) / "Real" / "Loop");
  CliRun run = run_cli({"-r", "--summary", c.root()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.crlf().find("total   1 folder\r\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("Link"), std::string::npos);
}

// A folder path longer than the system allows cannot be opened, even by root: the walk reports it
// and goes on. The levels are made relative to the working folder, one at a time.
void make_too_deep_folder(const fs::path& base) {
  const fs::path back = fs::current_path();
  fs::current_path(base);
  const std::string level(200, 'd');
  for (int i = 0; i < 24; ++i) {
    fs::create_directory(level);
    fs::current_path(level);
  }
  fs::current_path(back);
}

// Each folder is opened from its parent, so a folder too deep for its path is walked like any other.
TEST(Recursive, AFolderTooDeepForAPathIsWalkedFromItsParentAndTheWalkGoesOn) {
#ifdef _WIN32
  GTEST_SKIP() << "the deep folder is made with POSIX path limits and rm";
#endif
  Collection c;
  c.Audio("A", 1);
  c.Audio("Z", 1);
  fs::create_directory(fs::path(c.root()) / "deep");
  make_too_deep_folder(fs::path(c.root()) / "deep");
  CliRun run = run_cli({"-r", "--summary", c.root()});
  std::system(("rm -rf " + test::quote(c.root() + "/deep")).c_str());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(count(run.err, "\n"), 0u) << run.err;
  EXPECT_NE(run.out.find("  mp3     " + c.folder("A")), std::string::npos);
  EXPECT_NE(run.out.find("  mp3     " + c.folder("Z")), std::string::npos) << "folders after it are still verified";
}

TEST(Recursive, OutputDoesNotDependOnTheNumberOfJobsOrTheReadDepth) {
  Collection c;
  const std::string bad = "u1964_009 - Bad - Line.mp3";
  for (std::string folder : {"F1", "F2", "F2/a", "F3", "F4", "F5", "F6"}) {
    c.Audio(folder, 2, 1, "c.qn", bad + "XZY\r\n");  // a fingerprint the check cannot read
    c.File(folder + "/" + bad, std::string(900, 'x'));
  }
  c.Audio("F7", 30, 2);  // enough entries to be checked ahead
  c.File("F7/" + Collection::track_name(5), std::string(100, '\xFF'));
  c.Labels("F4", 1);
  c.File("F5/" + Collection::track_name(2), "");  // emptied
  c.File("F6/" + Collection::track_name(1), std::string(100, '\xFF'));  // shrunk to sync bytes
  fs::create_directory(fs::path(c.root()) / "F3" / Collection::track_name(3));  // a folder named like a track
  test::TempFolder elsewhere;
  const std::string report = (elsewhere.path() / "report.txt").string();
  const std::string reference_report = (elsewhere.path() / "reference.txt").string();
  // Folders checked at once, files checked at once and reads in flight change nothing in any output.
  const std::vector<std::vector<std::string>> settings = {
      {"--jobs", "2"}, {"--jobs", "8"}, {"--jobs", "4"}, {"--jobs", "1", "--io-depth", "64"},
      {"--jobs", "4", "--io-depth", "4"}, {"--jobs", "3", "--io-depth", "64"}, {"--jobs", "8", "--io-depth", "64"}};
  for (const std::vector<std::string>& mode : std::vector<std::vector<std::string>>{{}, {"--json"}, {"-q"}}) {
    std::vector<std::string> args = {"-r", "--jobs", "1", "--io-depth", "1", "--report", reference_report};
    args.insert(args.end(), mode.begin(), mode.end());
    args.push_back(c.root());
    CliRun one = run_cli(args);
    const std::string shown = mode.empty() ? "plain" : mode[0];
    EXPECT_EQ(one.status, 1 | 2 | 8) << shown;
    if (mode.empty()) {
      EXPECT_EQ(count(one.err, "\n"), 7u) << "one whole line per failed step";
      EXPECT_EQ(one.err.rfind("qnverify: " + c.folder("F1") + ": error ", 0), 0u) << one.err;
      EXPECT_NE(one.out.find("FAIL"), std::string::npos) << one.out;
    }
    const std::string reports_one = test::read_file(reference_report);
    for (const std::vector<std::string>& setting : settings) {
      std::vector<std::string> args = {"-r", "--report", report};
      args.insert(args.end(), mode.begin(), mode.end());
      args.insert(args.end(), setting.begin(), setting.end());
      args.push_back(c.root());
      CliRun run = run_cli(args);
      const std::string name = shown + " " + text::join(setting, " ");
      EXPECT_EQ(run.status, one.status) << name;
      EXPECT_EQ(without_dates(run.out), without_dates(one.out)) << name;
      EXPECT_EQ(run.err, one.err) << name;
      const std::string reports = test::read_file(report);
      EXPECT_EQ(without_dates(reports), without_dates(reports_one)) << name;
      if (mode.empty()) {
        // The report file holds the folders' reports as printed, in the same order, then nothing.
        EXPECT_EQ(run.crlf().find("Summary\r\nentries"), reports.size()) << name;
        EXPECT_EQ(run.crlf().substr(0, reports.size()), reports) << name;
      }
      EXPECT_EQ(elsewhere.names(), (std::set<std::string>{"reference.txt", "report.txt"})) << "no temporary file is left";
    }
  }
}

// Runs are streamed, not kept: folders whose entries fill more than a run may keep ahead of its
// turn come out whole and in order, and the failed steps past those a run keeps each reach the user
// once (in -q, the first as ERROR lines and the rest on standard error).
TEST(Recursive, LargeRunsAndManyFailedStepsComeOutWhole) {
  Collection c;
  std::string missing;  // some 5 MB of JSON entries
  for (int i = 0; i < 12000; ++i) missing += "u1964_" + std::to_string(100000 + i) + "\r\n";
  for (const char* folder : {"A", "B", "C"}) c.Audio(folder, 1, 0, "c.qn", missing);
  c.Labels("D", 1);
  const int empty_lines = 1005;  // one failed step each, past the 1000 a run keeps
  c.File("D/Set Labels.qn", std::string(empty_lines, '\r'));

  CliRun one = run_cli({"-r", "--json", "--jobs", "1", c.root()});
  CliRun three = run_cli({"-r", "--json", "--jobs", "3", c.root()});
  EXPECT_EQ(three.out, one.out);
  EXPECT_EQ(three.err, one.err);
  json doc = json::parse(one.out);
  ASSERT_EQ(doc.at("folders").size(), 4u);
  for (int f = 0; f < 3; ++f) EXPECT_EQ(doc["folders"][f].at("entries").size(), 12001u);
  EXPECT_EQ(doc["folders"][3].at("errors").size(), 1000u);
  EXPECT_EQ(doc["folders"][3]["counts"].at("errors"), empty_lines);
  EXPECT_EQ(count(one.err, "error "), static_cast<std::size_t>(empty_lines));

  for (const char* jobs : {"1", "3"}) {
    CliRun problems = run_cli({"-r", "-q", "--jobs", jobs, c.root()});
    EXPECT_EQ(count(problems.out, "MISSING "), 36000u) << jobs;
    EXPECT_EQ(count(problems.out, "\nERROR ") + count(problems.err, "error "),
              static_cast<std::size_t>(empty_lines)) << jobs;
  }
}

TEST(Recursive, CreateNfoMakesPlaceholdersInEveryFolderAndNothingElseIsWritten) {
  Collection c;
  for (const char* folder : {"One", "Two"}) c.Audio(folder, 1, 0, "c.qn", "u1964_005 - Sheet - Music.nfo\r\n");
  fs::path one = fs::path(c.root()) / "One" / "u1964_005 - Sheet - Music.nfo";
  fs::path two = fs::path(c.root()) / "Two" / "u1964_005 - Sheet - Music.nfo";
  CliRun plain = run_cli({"-r", c.root()});
  EXPECT_EQ(plain.status, 2);
  EXPECT_FALSE(fs::exists(one));
  CliRun create = run_cli({"-r", "--create-nfo", c.root()});
  EXPECT_EQ(create.status, 0) << create.out;
  EXPECT_TRUE(fs::exists(one));
  EXPECT_TRUE(fs::exists(two));
  EXPECT_EQ(count(create.crlf(), "u1964_005 OK Placeholder\r\n"), 2u);
}

TEST(Recursive, ExitStatusCombinesTheFoldersAndNothingVerifiedIs66) {
  Collection c;
  c.Audio("Good", 2);
  EXPECT_EQ(run_cli({"-r", c.root()}).status, 0);
  c.File("Empty/c.qn", "u1964_001 - A - B.mp30Z0Z0Z0Z00000000\r\n");
  CliRun run = run_cli({"-r", c.root()});
  EXPECT_EQ(run.status, 8) << "a folder with no audio files could not be verified";
  EXPECT_NE(run.out.find("No Quarnell audio files found"), std::string::npos);

  Collection none;
  none.File("x/readme.txt", "x");
  CliRun nothing = run_cli({"-r", none.root()});
  EXPECT_EQ(nothing.status, 66);
  EXPECT_NE(nothing.err.find("No .qn file found at or below"), std::string::npos);
  EXPECT_EQ(run_cli({"-r", none.root() + "/x/readme.txt"}).status, 66);
  EXPECT_EQ(run_cli({"-r", "--qn", "c.qn", c.root()}).status, 64);
  EXPECT_EQ(run_cli({"-r", "--jobs", "0", c.root()}).status, 64);
  EXPECT_EQ(run_cli({"--json", "--summary", c.root()}).status, 64);
}

}  // namespace
}  // namespace qn
