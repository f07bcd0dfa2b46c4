// The JSON document of qnverify --json, parsed back and checked field by field.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/collection_fixture.h"
#include "cli/run_cli.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace qn {
namespace {

using test::CliRun;
using test::Collection;
using test::FakeMp3;
using test::run_cli;

const json* find_entry(const json& folder, const std::string& track_key) {
  for (const json& entry : folder.at("entries"))
    if (entry.at("track_key") == track_key) return &entry;
  return nullptr;
}

TEST(JsonOutput, DescribesEveryFolderEntryErrorAndTheTotals) {
  Collection c;
  c.Audio("Mp3", 2, 1, "c.qn", "u1964_008 - Bad - Line.mp3XZY\r\n");
  c.File("Mp3/u1964_008 - Bad - Line.mp3", std::string(900, 'x'));
  c.File("Mp3/u1964_099 - Extra - Track.mp3", "extra");
  c.Labels("Pics", 1);
  c.Audio("Twice", 1, 0, "a.qn");
  c.Audio("Twice", 1, 0, "b.qn");
  CliRun run = run_cli({"-r", "--json", c.root()});
  json doc = json::parse(run.out);  // throws (and fails the test) when the output is not one document

  EXPECT_EQ(doc.at("exit_status"), run.status);
  EXPECT_EQ(run.status, 1 | 2 | 4 | 8);
  ASSERT_EQ(doc.at("folders").size(), 2u);
  const json& mp3 = doc["folders"][0];
  EXPECT_EQ(mp3.at("path"), c.folder("Mp3"));
  EXPECT_EQ(mp3.at("kind"), "mp3");
  EXPECT_EQ(mp3.at("checksum_file"), c.folder("Mp3") + "c.qn");
  EXPECT_EQ(mp3.at("files"), 4);
  EXPECT_EQ(mp3.at("verified"), true);
  EXPECT_EQ(mp3.at("additional_files"), json::array({"u1964_099 - Extra - Track.mp3"}));

  const json* ok = find_entry(mp3, "u1964_001");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->at("found"), c.folder("Mp3") + Collection::track_name(1));
  EXPECT_EQ(ok->at("verdicts"), json::array({" OK"}));
  EXPECT_EQ(ok->at("id3"), " ID3v1 OK ID3v2 OK");
  EXPECT_EQ(ok->at("id3v1"), "OK");
  EXPECT_EQ(ok->at("status"), "ok");
  EXPECT_EQ(ok->at("report_line"), "u1964_001 OK ID3v1 OK ID3v2 OK");
  EXPECT_NE(run.out.find("u1964_001 OK ID3v1 OK ID3v2 OK"), std::string::npos);

  const json* missing = find_entry(mp3, "u1964_003");
  ASSERT_NE(missing, nullptr);
  EXPECT_TRUE(missing->at("found").is_null());
  EXPECT_EQ(missing->at("expected"), Collection::track_name(3));
  EXPECT_EQ(missing->at("status"), "missing");
  EXPECT_EQ(missing->at("verdicts"), json::array({" MISSING mp3 file"}));

  const json* broken = find_entry(mp3, "u1964_008");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(broken->at("status"), "no-verdict");
  EXPECT_EQ(broken->at("expected"), "u1964_008 - Bad - Line.mp3");
  EXPECT_TRUE(broken->at("verdicts").empty());
  ASSERT_EQ(mp3.at("errors").size(), 1u);
  EXPECT_EQ(mp3["errors"][0].at("context"), "u1964_008 - Bad - Line.mp3XZY");
  EXPECT_FALSE(mp3["errors"][0].at("message").get<std::string>().empty());
  EXPECT_EQ(mp3.at("counts"), json({{"entries", 4}, {"ok", 2}, {"fail", 1}, {"missing", 1},
                                    {"additional", 1}, {"errors", 1}, {"tags_only", 0}}));

  const json& pics = doc["folders"][1];
  EXPECT_EQ(pics.at("kind"), "labels");
  EXPECT_EQ(pics.at("checksum_file"), c.folder("Pics") + "Set Labels.qn");

  ASSERT_EQ(doc.at("problems").size(), 1u);
  EXPECT_EQ(doc["problems"][0].at("path"), c.folder("Twice"));
  EXPECT_NE(doc["problems"][0].at("message").get<std::string>().find("a.qn, b.qn"), std::string::npos);

  const json& totals = doc.at("totals");
  EXPECT_EQ(totals.at("folders"), 3);
  EXPECT_EQ(totals.at("entries"), 6);
  EXPECT_EQ(totals.at("ok"), 3);
  EXPECT_EQ(totals.at("missing"), 2);
  EXPECT_EQ(totals.at("errors"), 2) << "the step error and the skipped folder";
  EXPECT_EQ(run.out.find("Quarnell mp3 Verify"), std::string::npos) << "no report texts with --json";
}

TEST(JsonOutput, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  Collection c;
  const std::string name = "u1964_001 - Caf\xE9 - Cr\xE8me.mp3";
  FakeMp3 mp3 = FakeMp3::Make(0, 6, false);
  c.File("Latin/" + name, std::string(mp3.bytes.begin(), mp3.bytes.end()));
  c.File("Latin/c.qn", name + mp3.Fingerprint() + "\r\n");
  CliRun run = run_cli({"--json", c.folder("Latin")});
  json doc = json::parse(run.out);
  const json& entry = doc.at("folders").at(0).at("entries").at(0);
#ifdef _WIN32
  // Windows lists names in UTF-8: a line in the system's 8-bit code page (1252 here) is read as
  // such, and finds its file.
  const std::string line = "u1964_001 - Caf\xC3\xA9 - Cr\xC3\xA8me.mp3";
#else
  const std::string line = "u1964_001 - Caf\xEF\xBF\xBD - Cr\xEF\xBF\xBD" "me.mp3";
#endif
  EXPECT_EQ(entry.at("line").get<std::string>().rfind(line, 0), 0u);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(entry.at("status"), "ok");
}

TEST(JsonOutput, WithoutRecursiveItDescribesTheOneFolderAndKeepsItsExitStatus) {
  Collection c;
  c.Audio("One", 1, 1);
  CliRun text = run_cli({c.folder("One")});
  CliRun run = run_cli({"--json", c.folder("One")});
  EXPECT_EQ(run.status, text.status);
  json doc = json::parse(run.out);
  ASSERT_EQ(doc.at("folders").size(), 1u);
  EXPECT_EQ(doc.at("exit_status"), 2);
  EXPECT_TRUE(doc.at("problems").empty());
  EXPECT_EQ(doc["folders"][0].at("verified"), true);
  // A checksum file without a single track beside it: nothing was verified.
  c.Audio("Empty", 0, 1);
  EXPECT_EQ(json::parse(run_cli({"--json", c.folder("Empty")}).out)["folders"][0].at("verified"), false);
}

}  // namespace
}  // namespace qn
