// qnverify --deep over real tracks (tests/data/deep, made by lame, flac and metaflac), damaged the
// ways a collector meets, against the fields of their undamaged bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/run_cli.h"
#include "support/fixtures.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::CliRun;
using test::read_file;
using test::run_cli;
using test::TempFolder;

const std::string kData = std::string(QN_TEST_DATA_DIR) + "/deep/";

// The fingerprint field of a fixture, as the reference tool wrote it.
std::string field_of(const std::string& name) {
  std::istringstream lines(read_file(kData + "fingerprints.txt"));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(name, 0) == 0) return line.substr(name.size());
  ADD_FAILURE() << "no field for " << name;
  return "";
}

// A track of the folder: a fixture's bytes, changed by `damage`, listed with the fixture's field.
struct Track {
  std::string name;     // without extension
  std::string fixture;  // deep.mp3, deep.flac, deep_retagged.flac
  void (*damage)(std::string& bytes);
};

void flip_middle(std::string& b) {
  for (std::size_t i = b.size() / 2 - 2000; i < b.size() / 2 - 1996; ++i) b[i] = static_cast<char>(b[i] ^ 0x21);
}
void flip_third(std::string& b) {
  for (std::size_t i = b.size() / 3; i < b.size() / 3 + 4; ++i) b[i] = static_cast<char>(b[i] ^ 0x21);
}
void retitle_id3v1(std::string& b) { b[b.size() - 125] = 'X'; }  // the title's first byte
void cut_300(std::string& b) { b.resize(b.size() - 300); }

std::string folder_with(const TempFolder& dir, const std::string& name, const std::vector<Track>& tracks) {
  const std::string folder = (dir.path() / name).string();
  fs::create_directories(folder);
  std::string lines;
  for (const Track& t : tracks) {
    const std::string ext = fs::path(t.fixture).extension().string();
    std::string bytes = read_file(kData + t.fixture);
    if (t.damage) t.damage(bytes);
    test::write_file(fs::path(folder) / (t.name + ext), bytes);
    const std::string listed = t.fixture == "deep_retagged.flac" ? "deep.flac" : t.fixture;
    lines += t.name + ext + field_of(listed) + "\r\n";
  }
  test::write_file(fs::path(folder) / (name + ".qn"), lines);
  return folder;
}

// Standard output with LF line ends on both platforms.
std::string lf(const CliRun& run) {
  std::string text = run.out;
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

std::string line_of(const std::string& text, const std::string& start) {
  const std::size_t at = text.find(start);
  if (at == std::string::npos) return "(no line " + start + ")";
  return text.substr(at, text.find('\n', at) - at);
}

TEST(Deep, DamageTheListedSumsMissIsFoundAndEachFailGetsItsHint) {
  TempFolder dir;
  const std::string mp3 = folder_with(dir, "Deep MP3", {{"u1964_001 - A - Intact", "deep.mp3", nullptr},
                                                        {"u1964_002 - A - Middle", "deep.mp3", flip_middle},
                                                        {"u1964_003 - A - Retitled", "deep.mp3", retitle_id3v1},
                                                        {"u1964_004 - A - Cut", "deep.mp3", cut_300}});
  const std::string flac = folder_with(dir, "Deep FLAC", {{"u1964_001 - A - Intact", "deep.flac", nullptr},
                                                          {"u1964_002 - A - Middle", "deep.flac", flip_third},
                                                          {"u1964_003 - A - Retagged", "deep_retagged.flac", nullptr}});

  // Without --deep the damage in the middle reads OK, as the listed sums cannot see it.
  const CliRun cheap_mp3 = run_cli({mp3});
  const CliRun cheap_flac = run_cli({flac});
  EXPECT_NE(lf(cheap_mp3).find("u1964_002 OK ID3v1 OK ID3v2 OK\n"), std::string::npos) << lf(cheap_mp3);
  EXPECT_NE(lf(cheap_flac).find("u1964_002 stereo  OK\n"), std::string::npos) << lf(cheap_flac);

  const CliRun deep_mp3 = run_cli({"--deep", mp3});
  const CliRun deep_flac = run_cli({"--deep", "--jobs", "2", flac});
  EXPECT_EQ(deep_mp3.status, 1) << deep_mp3.err;
  EXPECT_EQ(deep_flac.status, 1) << deep_flac.err;
  struct Case {
    const CliRun& run;
    std::string line;  // how the report line starts and ends
    std::string content;
  };
  const Case cases[] = {
      {deep_mp3, "u1964_001 OK ID3v1 OK ID3v2 OK", " content OK (music CRC)"},
      {deep_mp3, "u1964_002 OK ID3v1 OK ID3v2 OK", " content FAIL ("},
      {deep_mp3, "u1964_003 OK ID3v1 Fails ID3v2 OK", " content OK (music CRC)"},
      {deep_mp3, "u1964_004 FAIL (Length of Audio Error) ID3v1 Fails ID3v2 OK", " content FAIL ("},
      {deep_flac, "u1964_001 stereo  OK", " content OK (MD5 and frame CRCs)"},
      {deep_flac, "u1964_002 stereo  OK", " content FAIL ("},
      {deep_flac, "u1964_003 stereo  FAIL (First 100 bytes of File Error)", " content OK (MD5 and frame CRCs)"},
  };
  for (const Case& c : cases) {
    const std::string line = line_of(lf(c.run), c.line.substr(0, 10));
    EXPECT_EQ(line.rfind(c.line + c.content, 0), 0u) << line;
  }
  // Every other byte of the report is the report without --deep.
  std::string stripped = lf(deep_mp3);
  for (std::size_t at; (at = stripped.find(" content ")) != std::string::npos;)
    stripped.erase(at, stripped.find('\n', at) - at);
  auto body = [](const std::string& s) { return s.substr(s.find("\n\n")); };
  EXPECT_EQ(body(stripped), body(lf(cheap_mp3)));

  const CliRun q_mp3 = run_cli({"--deep", "-q", mp3});
  const CliRun q_flac = run_cli({"--deep", "-q", flac});
  EXPECT_NE(line_of(lf(q_mp3), "CONTENT-FAIL u1964_002").find("music CRC"), std::string::npos) << lf(q_mp3);
  EXPECT_NE(line_of(lf(q_mp3), "ID3-FAIL u1964_003").find("hint: ID3v1 tag changed, audio intact (music CRC OK)"),
            std::string::npos)
      << lf(q_mp3);
  const std::string cut = line_of(lf(q_mp3), "FAIL     u1964_004");
  EXPECT_NE(cut.find("hint: track truncated by 300 bytes; "), std::string::npos) << cut;
  EXPECT_NE(cut.find("; content: "), std::string::npos) << cut;
  EXPECT_NE(line_of(lf(q_flac), "CONTENT-FAIL u1964_002").find("frame CRC"), std::string::npos) << lf(q_flac);
  EXPECT_NE(line_of(lf(q_flac), "FAIL     u1964_003").find("hint: tags rewritten, audio intact (MD5 OK)"),
            std::string::npos)
      << lf(q_flac);
  const CliRun q_cheap = run_cli({"-q", mp3});
  EXPECT_EQ(lf(q_cheap).find("hint:"), std::string::npos);
  EXPECT_EQ(lf(q_cheap).find("CONTENT-FAIL"), std::string::npos);

  const nlohmann::json doc = nlohmann::json::parse(run_cli({"--deep", "--json", flac}).out);
  const nlohmann::json& middle = doc["folders"][0]["entries"][1];
  EXPECT_EQ(middle["status"], "fail");
  EXPECT_EQ(middle["content"]["status"], "fail");
  EXPECT_EQ(middle["content"]["method"], "frame CRC");
  EXPECT_GT(middle["content"]["offset"].get<long>(), 0);
  EXPECT_TRUE(middle["hint"].is_string());
  EXPECT_FALSE(nlohmann::json::parse(run_cli({"--json", flac}).out)["folders"][0]["entries"][1].contains("content"));
}

}  // namespace
}  // namespace qn
