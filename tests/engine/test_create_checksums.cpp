// Created checksum lines against the runs that read them: every listed file checks OK, and a file
// that cannot get a sound line gets none.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/create_checksums.h"
#include "engine/verify.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::FakeMp3;
using test::RecordingHost;
using test::TempFolder;

// A FLAC-like file: the checks read lengths and byte blocks only.
std::string flac_bytes(std::size_t n, unsigned seed) {
  std::string s = "fLaC";
  for (std::size_t i = 4; i < n; ++i) s += static_cast<char>((i * 31 + seed * 7) % 251);
  return s;
}

struct Folder {
  std::string name;
  std::vector<std::pair<std::string, std::string>> files;  // relative path, bytes
  CreateSettings settings;
  std::string checksum_name = "mine.qn";
};

std::string bytes_of(const FakeMp3& mp3) { return {mp3.bytes.begin(), mp3.bytes.end()}; }

TEST(CreateChecksumLines, EveryListedFileOfEveryKindOfFolderChecksOk) {
  const std::string a = bytes_of(FakeMp3::Make(300, 12, true, 1)), b = bytes_of(FakeMp3::Make(0, 10, false, 2)),
                    c = bytes_of(FakeMp3::make_tagged("Artist", "Title", 300, 3));
  CreateSettings five, labels;
  five.six_values = false;
  labels.labels = true;
  const std::vector<Folder> folders = {
      {"mp3, six values, placeholders", {{"u1964_001 - A - One.mp3", a}, {"u1964_002b - B - Two.mp3", b},
        {"u1964_001 - A - One.nfo", "x"}, {"u1964_003 - C - Three.mp3", c}, {"cover.jpg", "j"}}, {}},
      {"mp3, five values", {{"u1964_001 - A - One.mp3", a}, {"u1964_002 - B - Two.mp3", b}}, five},
      {"albums", {{"u1970_001 - A - One.mp3", a}, {"Albums/u1970_101 - B - Two.mp3", b}}, {}},
      // The run puts the folder named after the key back in front of the name.
      {"album sub-folders", {{"Albums/LP1970_001/uLP1970_001 - A - One.mp3", a},
                             {"Albums/LP1970_001/uLP1970_001b - B - Two.mp3", b}}, {}},
      {"flac", {{"u1964_001 - A - One [mono].flac", flac_bytes(5001, 1)},
                {"u1964_002 - B - Two.flac", flac_bytes(1003, 2)}, {"u1964_002 - B - Two.flac.nfo", "n"},
                {"u1964_003 - C - Three.mp3", a}}, {}},
      {"capital extensions", {{"u1964_001 - A - One.MP3", a}, {"u1964_002 - B - Two.Mp3", b}}, {}},
      {"capital flac", {{"u1964_001 - A - One.FLAC", flac_bytes(2001, 3)}}, {}},
      {"labels", {{"u1964_001.jpg", "\xFF\xD8 label one"}, {"u1964_002.jpg", std::string(400, 'j')}},
       labels, "Mine Labels.qn"},
  };
  for (const Folder& f : folders) {
    SCOPED_TRACE(f.name);
    TempFolder dir;
    for (const auto& [relative, bytes] : f.files) dir.write(relative, bytes);
    RecordingHost host;
    CreatedChecksums created = create_checksum_lines(dir.folder(), f.settings, host);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front().description;
    const std::string qn = dir.write(f.checksum_name, checksum_file_text(created.lines));

    test::CollectedRun run = f.settings.labels ? test::verify_labels(dir.folder(), host)
                                      : test::verify_audio(dir.folder(), qn, false, host);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front().description;
    EXPECT_EQ(run.entries.size(), created.lines.size());
    for (const EntryResult& entry : run.entries) EXPECT_EQ(entry.status, EntryStatus::kOk) << entry.report_line;
    EXPECT_TRUE(run.additional_files.empty()) << run.additional_files.front();
  }
}

// A tag size that starts the search at offset 290, two small MPEG-2 frames there, and an ID3v1 tag
// in front of them: no length of audio could be written.
std::string tag_over_audio() {
  std::string s = std::string("ID3\3\0\0\0\0\x02\x23", 10) + std::string(262, 'p') + "TAG" + std::string(15, 't');
  s += std::string("\xFF\xF3\x10\x00", 4) + std::string(49, 'a') + std::string("\xFF\xF3\x10\x00", 4);
  return s + std::string(400 - s.size(), 'z');
}

TEST(CreateChecksumLines, AFileWithoutASoundLineIsAnErrorAndGetsNoLine) {
  const FakeMp3 good = FakeMp3::Make(0, 10, false, 1);
  struct Case {
    std::string name;
    std::string bytes;
    bool six_values = true;
  };
  const std::vector<Case> cases = {
      {"u1964_002 - No - Audio.mp3", std::string(5000, 'x')},
      {"u1964_003 - Too - Short.mp3", bytes_of(FakeMp3::Make(0, 2, false, 3)).substr(0, 260)},
      {"u1964_004 - Short - Five.mp3", bytes_of(FakeMp3::Make(0, 2, false, 3)).substr(0, 380), false},
      {"u1964_004 - Tag - Overlap.mp3", tag_over_audio()},
      {"u1964_005 - Dot.mp3 - Inside.mp3", bytes_of(good)},  // split at its first ".mp3"
      {"Albums", ""},
  };
  TempFolder outside;
  outside.write("u1964_008 - Elsewhere - Eight.mp3", good.bytes);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    dir.write("u1964_001 - Good - One.mp3", good.bytes);
    std::string path;
    if (c.name.starts_with("Albums")) {  // a link to a folder outside
      std::error_code ec;
      fs::create_directory_symlink(outside.path(), dir.path() / "Albums", ec);
      if (ec) continue;  // no links here (Windows without the privilege)
      path = dir.folder() + "Albums" + kSep;  // the linked folder is not searched at all
    } else {
      path = dir.write(c.name, c.bytes);
    }
    CreateSettings settings;
    settings.six_values = c.six_values;
    RecordingHost host;
    CreatedChecksums created = create_checksum_lines(dir.folder(), settings, host);
    ASSERT_EQ(created.errors.size(), 1u);
    EXPECT_EQ(host.errors.size(), 1u) << "reported once";
    const std::string& description = created.errors[0].description;
    EXPECT_TRUE(description.starts_with("No ") && description.ends_with(": " + path)) << description;
    ASSERT_EQ(created.lines.size(), 1u);
    EXPECT_TRUE(created.lines[0].starts_with("u1964_001 - Good - One.mp3"));
  }
}

}  // namespace
}  // namespace qn
