#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "cli/qnverify_app.h"
#include "cli/run_cli.h"
#include "support/fixtures.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::CliRun;
using test::FakeMp3;
using test::run_cli;
using test::read_file;
using test::TempFolder;

const std::string kSample = std::string(QN_SAMPLES_DIR) + "/Quarnell 1964 Top 6";

// A copy of the demo folder that a test may change.
struct SampleCopy {
  TempFolder dir;
  std::string folder;
  SampleCopy() {
    folder = (dir.path() / "Top 6").string();
    fs::copy(kSample, folder, fs::copy_options::recursive);
  }
};

TEST(Qnverify, PrintsTheReportAndSetsTheExitFlags) {
  CliRun run = run_cli({kSample});
  EXPECT_EQ(run.status, 1 | 2 | 4) << run.err;
  EXPECT_NE(run.crlf().find("Quarnell mp3 Verify Rev37\r\n"), std::string::npos);
  EXPECT_NE(run.crlf().find("u1964_002 OK ID3v1 OK ID3v2 OK\r\n"), std::string::npos);
  EXPECT_NE(run.crlf().find("u1964_006 MISSING mp3 file\r\n"), std::string::npos);
  EXPECT_NE(run.crlf().find("\r\nAdditional Files Found\r\nu1964_099 - Extra - Track.mp3\r\n"), std::string::npos);
  EXPECT_EQ(run.err, "");
}

TEST(Qnverify, ReportFileKeepsCrLfWhileStandardOutputHasThePlatformsLineEnds) {
  TempFolder out;
  std::string report = (out.path() / "report.txt").string();
  CliRun run = run_cli({"--report", report, kSample});
  EXPECT_EQ(read_file(report), run.crlf());
  EXPECT_NE(read_file(report).find("Quarnell mp3 Verify Rev37\r\n"), std::string::npos);
#ifndef _WIN32
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << "LF only on standard output";
#endif
  CliRun bad = run_cli({"--report", (out.path() / "no" / "such" / "r.txt").string(), kSample});
  EXPECT_TRUE(bad.status & 8) << "a report that cannot be written is a step error";
  EXPECT_NE(bad.err.find("r.txt"), std::string::npos);
}

TEST(Qnverify, AFileInsideTheFolderVerifiesTheFolder) {
  CliRun by_folder = run_cli({kSample});
  CliRun by_track = run_cli({kSample + "/u1964_003 - Dora Venn - Slow Harbour.mp3"});
  CliRun by_qn = run_cli({kSample + "/Quarnell 1964 Top 6.qn"});
  auto body = [](const CliRun& run) { return run.crlf().substr(run.crlf().find("\r\n\r\n")); };
  EXPECT_EQ(body(by_track), body(by_folder));
  EXPECT_EQ(body(by_qn), body(by_folder));
  EXPECT_EQ(by_track.status, by_folder.status);
}

TEST(Qnverify, Id3OptionsSwitchTheTagChecksOff) {
  CliRun run = run_cli({"--no-id3v1", kSample});
  EXPECT_NE(run.crlf().find("u1964_004 OK ID3v2 OK\r\n"), std::string::npos) << run.out;
  run = run_cli({"--no-id3v1", "--no-id3v2", kSample});
  EXPECT_NE(run.crlf().find("u1964_004 OK\r\n"), std::string::npos);
}

TEST(Qnverify, CreatesPlaceholdersOnlyWithCreateNfo) {
  SampleCopy copy;
  fs::path nfo = fs::path(copy.folder) / "u1964_002 - The Marlow Set - Paper Kites.nfo";
  CliRun plain = run_cli({copy.folder});
  EXPECT_FALSE(fs::exists(nfo));
  EXPECT_TRUE(plain.status & 2);
  CliRun create = run_cli({"--create-nfo", copy.folder});
  EXPECT_TRUE(fs::exists(nfo));
  EXPECT_NE(create.crlf().find("u1964_002 OK Placeholder\r\n"), std::string::npos);
}

TEST(Qnverify, SeveralChecksumFilesNeedQn) {
  SampleCopy copy;
  fs::copy_file(fs::path(copy.folder) / "Quarnell 1964 Top 6.qn", fs::path(copy.folder) / "Other.qn");
  CliRun run = run_cli({copy.folder});
  EXPECT_EQ(run.status, 64);
  EXPECT_NE(run.err.find("Other.qn"), std::string::npos);
  EXPECT_NE(run.err.find("Quarnell 1964 Top 6.qn"), std::string::npos);
  run = run_cli({"--qn", "Other.qn", copy.folder});
  EXPECT_EQ(run.status, 7) << run.err;
}

TEST(Qnverify, NothingToVerify) {
  TempFolder empty;
  CliRun run = run_cli({empty.path().string()});
  EXPECT_EQ(run.status, 66);
  EXPECT_NE(run.err.find("No .qn file found in"), std::string::npos);
  EXPECT_EQ(run_cli({(empty.path() / "absent").string()}).status, 66);
  empty.write("c.qn", std::string("u1964_001 - A - B.mp30Z0Z0Z0Z00000000\r\n"));
  run = run_cli({empty.path().string()});
  EXPECT_EQ(run.status, 66) << "no audio files found";
  EXPECT_NE(run.out.find("No Quarnell audio files found"), std::string::npos);
}

TEST(Qnverify, StepErrorsGoToStandardErrorOneLineEach) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(0, 8, false);
  dir.write("u1964_001 - A - B.mp3", a.bytes);
  dir.write("u1964_002 - C - D.mp3", a.bytes);
  dir.write("c.qn", "u1964_001 - A - B.mp3" + a.Fingerprint() + "\r\nu1964_002 - C - D.mp3XZY\r\n");
  CliRun run = run_cli({dir.path().string()});
  EXPECT_EQ(run.status, 1 | 8);
  EXPECT_NE(run.out.find("u1964_001 OK"), std::string::npos);
  EXPECT_NE(run.err.find("u1964_002 - C - D.mp3XZY"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
}

TEST(Qnverify, UsageHelpAndVersion) {
  EXPECT_EQ(run_cli({}).status, 64);
  EXPECT_EQ(run_cli({"--bogus", kSample}).status, 64);
  CliRun help = run_cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--create-nfo"), std::string::npos);
  CliRun version = run_cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find("Rev37"), std::string::npos);
}

// The part of `text` from `from` up to the next `to` after it.
std::string between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t start = text.find(from);
  if (start == std::string::npos) return "";
  return text.substr(start, text.find(to, start + from.size()) - start);
}

// Group 1 of each match of `pattern` in `text`.
std::set<std::string> matches_in(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.insert((*it)[1]);
  return found;
}

const std::string kOptionName = "(--?[a-z0-9][-a-z0-9]*)";

// The options of the manual page: in the tag (the line after .TP) of each item of OPTIONS.
std::set<std::string> manual_page_options(const std::string& page) {
  std::string options = between(page, "\n.SH OPTIONS\n", "\n.SH ");
  options = std::regex_replace(options, std::regex(R"(\\f.)"), " ");  // fonts
  options = std::regex_replace(options, std::regex(R"(\\-)"), "-");
  std::string tags;
  for (const std::string& tag : matches_in(options, R"(\n\.TP\n([^\n]*))")) tags += " " + tag;
  return matches_in(tags, "[\\s\",]" + kOptionName);
}

// --help, the manual page's OPTIONS and both shell completions name exactly the options the
// parser knows, and --help fits 80 columns.
TEST(Qnverify, HelpManualPageAndCompletionsNameTheOptionsOfTheParser) {
  const std::vector<std::string> parsed = cli::qnverify_option_names();
  const std::set<std::string> known(parsed.begin(), parsed.end());
  ASSERT_TRUE(known.count("--io-depth") && known.count("-j") && known.count("--help") && known.count("--version"));
  const std::string packaging = std::string(QN_SAMPLES_DIR) + "/../packaging/";
  const CliRun help = run_cli({"--help"});
  ASSERT_EQ(help.status, 0);
  const struct {
    const char* listing;
    std::set<std::string> names;
  } listings[] = {
      {"--help", matches_in("\n" + help.out, "(?:\n  |,)" + kOptionName)},
      {"man/qnverify.1", manual_page_options(read_file(packaging + "man/qnverify.1"))},
      {"completion/qnverify.bash",
       matches_in(between(read_file(packaging + "completion/qnverify.bash"), "local options=(", ")"),
                  "[\\s(]" + kOptionName)},
      {"completion/_qnverify", matches_in(between(read_file(packaging + "completion/_qnverify"), "_arguments", "\n\n"),
                                          "['{,)]" + kOptionName + "(?=[\\[=+,}])")},
  };
  for (const auto& listing : listings) {
    for (const std::string& name : known) EXPECT_TRUE(listing.names.count(name)) << listing.listing << " lacks " << name;
    for (const std::string& name : listing.names)
      EXPECT_TRUE(known.count(name)) << listing.listing << " names " << name << ", which the parser does not know";
  }
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);)
    EXPECT_LE(line.size() - (line.ends_with('\r') ? 1 : 0), 80u) << line;
}

}  // namespace
}  // namespace qn

namespace qn {
namespace {

const std::string kLabels = std::string(QN_SAMPLES_DIR) + "/Quarnell 1964 Labels";

TEST(QnverifyLabels, ALabelsChecksumFileChoosesTheLabelRun) {
  CliRun run = run_cli({kLabels});
  EXPECT_EQ(run.status, 1 | 2 | 4) << run.err;
  EXPECT_EQ(run.crlf().rfind("Quarnell Label Verify Rev37\r\n---------------------------\r\n", 0), 0u);
  EXPECT_NE(run.crlf().find("\r\n\r\nu1964_001 OK\r\nu1964_002 FAIL (255 bytes following Start of File)\r\n"
                         "u1964_003 FAIL (Length of File Error)\r\nu1964_004 OK\r\n"
                         "u1964_005.jpg <<<  MISSING\r\n\r\n\r\n"
                         "\r\nAdditional Files Found\r\nu1964_099.jpg\r\n\r\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("Number of Files"), std::string::npos);
  EXPECT_EQ(run_cli({kLabels + "/u1964_001.jpg"}).out.substr(0, 40), run.out.substr(0, 40));
}

TEST(QnverifyLabels, ImagesOptionAndLetterCaseOfTheName) {
#ifdef _WIN32
  GTEST_SKIP() << "names differing only in letter case are one file on Windows";
#endif
  CliRun run = run_cli({"--images", kSample});
  EXPECT_EQ(run.status, 66);
  EXPECT_NE(run.out.find("No matching .qn file found in "), std::string::npos);

  // "labels.qn" in another letter case does not choose the label run.
  TempFolder dir;
  fs::copy(kLabels, dir.path(), fs::copy_options::recursive);
  fs::rename(dir.path() / "Quarnell 1964 Labels.qn", dir.path() / "quarnell 1964 labels.qn");
  CliRun lower = run_cli({dir.path().string()});
  EXPECT_NE(lower.out.find("Quarnell  Verify Rev37"), std::string::npos) << lower.out;
  EXPECT_EQ(lower.status, 66) << "no audio files in a label folder";
}

}  // namespace
}  // namespace qn
