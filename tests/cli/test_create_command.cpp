// qnverify --create: what it writes where, and agreement with the reference tool of the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli/run_cli.h"
#include "support/fixtures.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::CliRun;
using test::read_file;
using test::run_cli;
using test::TempFolder;

const fs::path kSamples = QN_SAMPLES_DIR;
const fs::path kData = QN_TEST_DATA_DIR;

// A folder holding a copy of the sample tracks and nothing else.
void copy_tracks(const fs::path& from, const fs::path& to) {
  for (const auto& entry : fs::directory_iterator(from))
    if (entry.path().extension() != ".qn") fs::copy_file(entry.path(), to / entry.path().filename());
}

TEST(QnverifyCreate, OutputIsANewFileWrittenWholeAndReplacedOnlyWithForce) {
  TempFolder dir;
  copy_tracks(kSamples / "Quarnell 1964 Top 6", dir.path());
  const std::string output = (dir.path() / "Mine.qn").string();
  CliRun to_stdout = run_cli({"--create", dir.folder()});
  EXPECT_EQ(to_stdout.status, 0) << to_stdout.err;
  CliRun to_file = run_cli({"--create", "--output", output, dir.folder()});
  EXPECT_EQ(to_file.status, 0) << to_file.err;
  EXPECT_EQ(read_file(output), to_stdout.out);
  EXPECT_NE(to_stdout.out.find(".nfo\r\n"), std::string::npos) << "CR LF line ends, placeholder lines";
  EXPECT_EQ(to_file.err.find("Mine.qn"), std::string::npos) << "the output is not named as not listed";

  test::TempFolder other;
  const std::string kept = other.write("keep.qn", "keep");
  CliRun again = run_cli({"--create", "--output", kept, dir.folder()});
  EXPECT_EQ(again.status, 8);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(kept), "keep");
  CliRun forced = run_cli({"--create", "--force", "--output", kept, dir.folder()});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(read_file(kept), to_stdout.out);
#ifndef _WIN32
  const fs::path link = other.path() / "link.qn";
  fs::create_symlink(other.path() / "target.qn", link);
  CliRun through_link = run_cli({"--create", "--force", "--output", link.string(), dir.folder()});
  EXPECT_EQ(through_link.status, 8);
  EXPECT_FALSE(fs::exists(other.path() / "target.qn")) << "nothing is written through a link";
#endif
  for (const auto& entry : fs::directory_iterator(other.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file is left: " << entry.path();
}

TEST(QnverifyCreate, UsageAndNothingToList) {
  TempFolder empty;
  empty.write("notes.txt", "n");
  const std::string sample = (kSamples / "Quarnell 1964 Top 6").string();
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--five", sample}, 64},
      {{"--output", "x.qn", sample}, 64},
      {{"--create", "-r", sample}, 64},
      {{"--create", "--json", sample}, 64},
      {{"--create", (empty.path() / "no such").string()}, 66},
      {{"--create", empty.folder()}, 66},
      {{"--create", "--images", sample}, 66},
  };
  for (const Case& c : cases) {
    CliRun run = run_cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.front() << " " << c.args[1] << "\n" << run.err;
    EXPECT_EQ(run.out, "");
  }
  CliRun run = run_cli({"--create", empty.folder()});
  EXPECT_NE(run.err.find("not listed (no run looks at it): notes.txt"), std::string::npos) << run.err;
}

#ifndef _WIN32
bool has_tool(const std::string& probe) { return std::system((probe + " >/dev/null 2>&1").c_str()) == 0; }
#endif

// The lines a run of the reference tool prints for every track of the folder.
std::string reference_lines(const fs::path& folder, bool six) {
  const fs::path out = folder.parent_path() / "reference.txt";
  std::string command = "cd " + test::quote(folder.string()) + " && python3 " +
                        test::quote((kData.parent_path() / "tools" / "qn_fingerprint.py").string()) +
                        (six ? " --six" : "") + " u* >" + test::quote(out.string()) + " 2>/dev/null";
  (void)std::system(command.c_str());
  return read_file(out);
}

TEST(QnverifyCreate, AgreesWithTheReferenceToolOnEveryFixtureAndSample) {
#ifdef _WIN32
  GTEST_SKIP() << "the reference tool runs under a POSIX shell";
#else
  if (!has_tool("python3 --version")) GTEST_SKIP() << "python3 is not installed";
  TempFolder dir;
  const fs::path mp3 = dir.path() / "mp3", flac = dir.path() / "flac";
  fs::create_directories(mp3);
  fs::create_directories(flac);
  int n = 0;
  for (const fs::path& from : {kSamples / "Quarnell 1964 Top 6", kData / "audio", kData / "id3v2", kData / "naming"})
    for (const auto& entry : fs::directory_iterator(from))
      if (entry.path().extension() == ".mp3")
        fs::copy_file(entry.path(), mp3 / ("u1999_" + std::to_string(++n) + " - F - " + entry.path().filename().string()));
  copy_tracks(kSamples / "Quarnell 1964 FLAC", flac);

  for (bool six : {true, false}) {
    std::vector<std::string> args = {"--create", mp3.string()};
    if (!six) args.insert(args.begin(), "--five");
    CliRun created = run_cli(args);
    EXPECT_EQ(created.out, reference_lines(mp3, six)) << (six ? "six values" : "five values");
    EXPECT_NE(created.out.size(), 0u);
  }
  EXPECT_EQ(run_cli({"--create", flac.string()}).out, reference_lines(flac, false));
#endif
}

TEST(QnverifyCreate, ATagEditedByARealToolLeavesTheAudioVerdictOk) {
#ifdef _WIN32
  GTEST_SKIP() << "Debian's id3v2 tool edits the tag";
#else
  if (!has_tool("id3v2 --version")) GTEST_SKIP() << "the id3v2 tool is not installed";
  TempFolder dir;
  copy_tracks(kSamples / "Quarnell 1964 Top 6", dir.path());
  const std::string qn = (dir.path() / "Mine.qn").string();
  ASSERT_EQ(run_cli({"--create", "--output", qn, dir.folder()}).status, 0);
  EXPECT_EQ(run_cli({dir.folder()}).status, 0);
  const std::string track = (dir.path() / "u1964_003 - Dora Venn - Slow Harbour.mp3").string();
  ASSERT_EQ(std::system(("id3v2 -a 'Someone Else' " + test::quote(track) + " >/dev/null").c_str()), 0);
  CliRun run = run_cli({dir.folder()});
  EXPECT_NE(run.crlf().find("\r\nu1964_003 OK ID3v1 Fails ID3v2 Fails\r\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.status, 1);
#endif
}

}  // namespace
}  // namespace qn
