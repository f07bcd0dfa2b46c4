#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/collection_fixture.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::CliRun;
using test::Collection;
using test::FakeMp3;
using test::run_cli;

// One collection with every kind of problem: a failed track, a failed ID3v1 tag, a missing track,
// a line whose check cannot be made (no verdict, and the step error), an additional file, a
// missing label image and a folder skipped for its two checksum files.
struct Troubled {
  Collection c;
  Troubled() {
    c.Audio("Mp3", 3, 1, "c.qn", "u1964_008 - Bad - Line.mp3XZY\r\n");
    c.File("Mp3/u1964_008 - Bad - Line.mp3", std::string(900, 'x'));
    c.File("Mp3/u1964_099 - Extra - Track.mp3", "extra");
    // The same seeds as Collection::Audio: track 1 with a changed audio byte, track 2 with a changed tag.
    FakeMp3 one = FakeMp3::Make(0, 6, true, 1 * 7 + 3);
    one.bytes[one.start + 100] ^= 0x01;
    c.File("Mp3/" + Collection::track_name(1), std::string(one.bytes.begin(), one.bytes.end()));
    FakeMp3 two = FakeMp3::Make(0, 6, true, 2 * 7 + 3);
    two.bytes[two.bytes.size() - 100] ^= 0x01;
    c.File("Mp3/" + Collection::track_name(2), std::string(two.bytes.begin(), two.bytes.end()));
    c.Labels("Pics", 1);
    c.Audio("Twice", 1, 0, "a.qn");
    c.Audio("Twice", 1, 0, "b.qn");
  }

  // The Mp3 folder's problem lines, its paths after `prefix`.
  static std::string Mp3Lines(const std::string& prefix) {
    return "FAIL     " + prefix + Collection::track_name(1) + "  (255 bytes following Start of Audio) ID3v1 OK ID3v2 OK\n" +
           "ID3-FAIL " + prefix + Collection::track_name(2) + "  ID3v1 Fails ID3v2 OK\n" +
           "MISSING  " + prefix + Collection::track_name(4) + "\n" +
           "NO-VERDICT " + prefix + "u1964_008 - Bad - Line.mp3\n" +
           "EXTRA    " + prefix + "u1964_099 - Extra - Track.mp3\n";
  }
};

std::string Lf(const std::string& text) {
#ifdef _WIN32
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
#else
  return text;
#endif
}

TEST(Problems, OneLinePerProblemWithThePathBelowTheGivenFolderThenTheTally) {
  Troubled t;
  const std::string sep(1, kSep);
  CliRun all = run_cli({"-q", "-r", t.c.root()});
  EXPECT_EQ(all.status, 1 | 2 | 4 | 8);
  EXPECT_EQ(all.err, "") << "failed steps are ERROR lines on standard output, not also on standard error";
  std::string mp3 = Troubled::Mp3Lines("Mp3" + sep);
  std::size_t error_at = all.out.find("ERROR    Mp3" + sep + "  error ");
  ASSERT_NE(error_at, std::string::npos) << all.out;
  EXPECT_EQ(all.out.substr(0, error_at), Lf(mp3));
  EXPECT_NE(all.out.find("[u1964_008 - Bad - Line.mp3XZY]"), std::string::npos);
  std::string rest = all.out.substr(all.out.find('\n', error_at) + 1);
  EXPECT_EQ(rest, Lf("MISSING  Pics" + sep + "u1964_002.jpg\n"
                     "ERROR    Twice" + sep + "  error 5: The folder holds several audio checksum files and was skipped: a.qn, b.qn\n"
                     "qnverify: 7 entries in 3 folders: 2 OK, 3 FAIL (2 audio, 1 tags only), 2 MISSING, 1 additional, 2 errors\n"));

  // One folder: its paths are relative to it. Several: each starts with its PATH as given.
  CliRun one = run_cli({"-q", t.c.folder("Mp3")});
  EXPECT_EQ(one.out.substr(0, one.out.find("ERROR")), Lf(Troubled::Mp3Lines("")));
  EXPECT_EQ(one.status, 1 | 2 | 4 | 8);
  CliRun two = run_cli({"-q", t.c.folder("Pics"), t.c.folder("Mp3")});
  EXPECT_EQ(two.out.rfind(Lf("MISSING  " + t.c.folder("Pics") + "u1964_002.jpg\n" + Troubled::Mp3Lines(t.c.folder("Mp3"))), 0), 0u)
      << two.out;
}

TEST(Problems, SeveralPathsFromTheCommandLineOrStandardInputAreVerifiedInTurn) {
  Troubled t;
  const std::string pics = t.c.folder("Pics"), mp3 = t.c.folder("Mp3"), absent = t.c.folder("Absent");
  CliRun listed = run_cli({"--summary", pics, absent, mp3});
  EXPECT_EQ(listed.status, 1 | 2 | 4 | 8) << "an absent PATH is an error; the others are still verified";
  EXPECT_NE(listed.err.find("qnverify: no such file or folder: " + absent), std::string::npos) << listed.err;
  std::size_t pics_row = listed.out.find("labels  " + pics), mp3_row = listed.out.find("mp3     " + mp3);
  EXPECT_LT(pics_row, mp3_row) << listed.out;
  EXPECT_NE(mp3_row, std::string::npos);
  EXPECT_NE(listed.out.find("qnverify: 7 entries in 3 folders:"), std::string::npos);

  CliRun lines = run_cli({"--summary", "-"}, pics + "\n" + absent + "\r\n\n" + mp3 + "\n");
  CliRun nul = run_cli({"--summary", "-0", pics, "-"}, absent + '\0' + mp3);
  EXPECT_EQ(lines.out, listed.out);
  EXPECT_EQ(nul.out, listed.out);
  EXPECT_EQ(nul.status, listed.status);
  EXPECT_EQ(run_cli({"-"}, "").status, 64) << "nothing to verify on standard input";
  EXPECT_EQ(run_cli({"-"}, std::string(40000, 'x')).status, 64) << "a path beyond any real one is refused";
  EXPECT_EQ(run_cli({"-"}, pics + '\0' + mp3 + "\n").status, 64) << "a NUL in a list of lines";
}

TEST(Problems, UsageMessagesAndHints) {
  Troubled t;
  fs::create_directories(fs::path(t.c.root()) / "-weird");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"-j", "abc", t.c.root()}, 64, "qnverify: --jobs: \"abc\" is not a number"},
      {{"-j", "0", t.c.root()}, 64, "qnverify: --jobs: 0 is not between 1 and 64"},
      {{"-j", "65", t.c.root()}, 64, "qnverify: --jobs: 65 is not between 1 and 64"},
      {{"-j", "64", t.c.folder("Mp3")}, 1 | 2 | 4 | 8, ""},
      {{"--bogus", t.c.root()}, 64, "qnverify: "},
      {{"--recusive", t.c.root()}, 64, "qnverify: --recusive: did you mean --recursive?"},
      {{"--summry=1", t.c.root()}, 64, "did you mean --summary?"},
      {{t.c.root()}, 66, "qnverify: use -r to verify the 2 folders below"},
      {{t.c.folder("Mp3")}, 1 | 2 | 4 | 8, ""},
  };
  for (const Case& c : cases) {
    CliRun run = run_cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0];
    EXPECT_EQ(run.err.rfind("qnverify: ", 0), 0u) << "every message starts with the program name: " << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
  // A folder whose name starts with "-", given from inside its parent.
  std::string cwd = fs::current_path().string();
  fs::current_path(t.c.root());
  CliRun weird = run_cli({"-weird"});
  fs::current_path(cwd);
  EXPECT_EQ(weird.status, 64);
  EXPECT_NE(weird.err.find("put -- before it: qnverify -- -weird"), std::string::npos) << weird.err;

  CliRun help = run_cli({"--help"});
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
  EXPECT_NE(help.out.find("qnverify -q -r /music"), std::string::npos);
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    EXPECT_LE(line.size(), 80u) << line;
  }
  EXPECT_EQ(run_cli({"--bogus", t.c.root()}).err.find("did you mean"), std::string::npos) << "nothing near enough";
}

// PATHs naming one folder (files in it, the folder under another spelling) verify it once; a PATH
// that cannot be verified keeps its place, and with -q its ERROR line on standard output.
TEST(Problems, OneFolderOnceAndRefusedPathsInTheirPlace) {
  Troubled t;
  const std::string mp3 = t.c.folder("Mp3"), pics = t.c.folder("Pics"), absent = t.c.folder("Absent");
  CliRun run = run_cli({"-q", mp3 + Collection::track_name(1), mp3 + Collection::track_name(3), absent, mp3 + ".",
                        pics, mp3});
  EXPECT_EQ(run.status, 1 | 2 | 4 | 8);
  EXPECT_EQ(run.err, "");
  const std::size_t fail = run.out.find("FAIL     "), error = run.out.find("ERROR    " + absent + "  error "),
                    pics_line = run.out.find("MISSING  " + pics);
  EXPECT_LT(fail, error) << run.out;
  EXPECT_LT(error, pics_line) << run.out;
  EXPECT_EQ(run.out.find("FAIL     ", fail + 1), std::string::npos) << "the Mp3 folder is verified once: " << run.out;
  EXPECT_NE(run.out.find("qnverify: 7 entries in 3 folders:"), std::string::npos) << run.out;

  CliRun alone = run_cli({"-q", absent});
  EXPECT_EQ(alone.status, 66);
  EXPECT_EQ(alone.out.rfind("ERROR    " + absent + "  error ", 0), 0u) << alone.out;
}

// A retag (track 2) is a FAIL of its own kind wherever the failures are counted; the exit flags
// and the "fail" status stay as they were.
TEST(Problems, TagOnlyFailuresAreCountedApartFromDamage) {
  Troubled t;
  const std::string mp3 = t.c.folder("Mp3");
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> shown;
  } cases[] = {
      {{"-q", mp3}, {"ID3-FAIL " + Collection::track_name(2), "3 FAIL (2 audio, 1 tags only), 1 MISSING"}},
      {{"--summary", mp3},
       {"FAIL: 2 audio, 1 tags only (the audio verified OK, a tag check failed)", "3 FAIL (2 audio, 1 tags only),"}},
      {{"--json", mp3},
       {"\"status\": \"fail\",\n          \"tags_only\": true", "\"status\": \"fail\",\n          \"tags_only\": false",
        "\"fail\": 3,", "\"tags_only\": 1\n"}},
  };
  for (const Case& c : cases) {
    CliRun run = run_cli(c.args);
    EXPECT_EQ(run.status, 1 | 2 | 4 | 8) << c.args[0];
    for (const std::string& text : c.shown) EXPECT_NE(run.out.find(Lf(text)), std::string::npos) << text << "\n" << run.out;
  }
}

TEST(Problems, CreateNfoNamesEachPlaceholderItMade) {
  Collection c;
  c.Audio("One", 1, 0, "c.qn", "u1964_005 - Sheet - Music.nfo\r\n");
  CliRun run = run_cli({"-q", "--create-nfo", c.folder("One")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, Lf("qnverify: created placeholder u1964_005 - Sheet - Music.nfo\n"));
  EXPECT_EQ(run.out, Lf("qnverify: 2 entries in 1 folder: 2 OK, 0 FAIL, 0 MISSING, 0 additional, 0 errors\n"));
}

#ifndef _WIN32
// A line break inside a name would start a forged line of its own in the -q output.
TEST(Problems, ALineBreakInANameStaysInsideItsLine) {
  Collection c;
  c.Audio("One", 1);
  c.File("One/u1964_098 - A\rMISSING  B\nMISSING  C.mp3", "extra");
  CliRun run = run_cli({"-q", c.folder("One")});
  EXPECT_EQ(run.out.rfind("EXTRA    u1964_098 - A MISSING  B MISSING  C.mp3\n", 0), 0u) << run.out;
}
#endif

}  // namespace
}  // namespace qn
