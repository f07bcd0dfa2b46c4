// Checksum files and folders at the edges: huge lines, binary bytes, no line end, and a folder far
// beyond 16-bit counts. Every run must finish with verdicts or reported step errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "base/file_list.h"
#include "engine/checksum_file.h"
#include "engine/verify.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"
#include "support/wine.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::FakeMp3;
using test::RecordingHost;
using test::TempFolder;

std::size_t files_in(const fs::path& folder) {
  std::size_t n = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

// One real track, so the run has a found list to look the entries up in.
struct OneTrackFolder {
  TempFolder dir;
  FakeMp3 mp3 = FakeMp3::Make(0, 6, false);
  OneTrackFolder() { dir.write("u1964_001 - A - B.mp3", mp3.bytes); }
  test::CollectedRun run(const std::string& checksum_bytes, RecordingHost& host, bool create_nfo = false) {
    const std::string qn = dir.write("c.qn", checksum_bytes);
    return test::verify_audio(dir.folder(), qn, create_nfo, host);
  }
};

TEST(HostileChecksumFile, LinesOfSeveralMegabytesAreOrdinaryMissingEntries) {
  OneTrackFolder f;
  // A folder of a chart's size: the matcher tries the long name against every file.
  for (int i = 10; i < 60; ++i) f.dir.write("u1964_0" + std::to_string(i) + " - A - B.nfo", std::string());
  const std::string big(6 << 20, 'x');
  const std::string bracket = "u1964_003 - [" + big + " - T.mp3" + f.mp3.Fingerprint();
  const std::string qn = "u1964_002 - " + big + " - T.mp3" + f.mp3.Fingerprint() + "\r\n" + bracket +
                         "\r\nu1964_001 - A - B.mp3" + f.mp3.Fingerprint() + "\r\n";
  RecordingHost host;
  test::CollectedRun r = f.run(qn, host);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kMissing);
  EXPECT_EQ(r.entries[0].track_key, "u1964_002");
  EXPECT_EQ(r.entries[1].status, EntryStatus::kMissing);
  EXPECT_EQ(r.entries[2].status, EntryStatus::kOk) << "the entries after the long lines still run";
  // A name longer than any path names no file: one error each, and no name variant is built.
  ASSERT_EQ(host.errors.size(), 2u);
  EXPECT_NE(host.errors[1].description.find("longer than any path"), std::string::npos);
  EXPECT_LT(host.errors[1].context.size(), 40000u) << "the error shows the line cut";
  EXPECT_EQ(files_in(f.dir.path()), 52u);
}

TEST(HostileChecksumFile, BinaryBytesGiveOneEntryPerLineAndCreateNothing) {
  OneTrackFolder f;
  std::mt19937 rng(7);
  std::string noise;
  for (int i = 0; i < 64 * 1024; ++i) noise.push_back(static_cast<char>(rng() & 0xFF));
  std::size_t lines = 1;
  for (std::size_t i = 0; i < noise.size(); ++i)
    if (noise[i] == '\r') {
      if (i + 1 < noise.size() && noise[i + 1] == '\n') ++i;
      if (i + 1 < noise.size()) ++lines;
    }
  for (bool create_nfo : {false, true}) {
    RecordingHost host;
    test::CollectedRun r = f.run(noise, host, create_nfo);
    EXPECT_EQ(r.entries.size(), lines);
    for (const EntryResult& e : r.entries) EXPECT_NE(e.status, EntryStatus::kOk) << e.line;
    // Placeholders come only from lines ending in "nfo" with a safe name, and only inside the folder.
    for (const auto& e : fs::recursive_directory_iterator(f.dir.path())) {
      const std::string name = e.path().filename().string();
      if (name == "c.qn" || name == "u1964_001 - A - B.mp3" || e.is_directory()) continue;
      EXPECT_TRUE(create_nfo) << "created without --create-nfo: " << e.path();
      EXPECT_EQ(name.substr(name.size() - 3), "nfo") << e.path();
    }
  }
}

TEST(HostileChecksumFile, NoLineEndAtAll) {
  OneTrackFolder f;
  RecordingHost host;
  test::CollectedRun r = f.run("u1964_001 - A - B.mp3" + f.mp3.Fingerprint(), host);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  // Line feeds and no carriage return: the file was saved with LF line ends, one entry a line.
  r = f.run(std::string(100000, '\n'), host);
  EXPECT_EQ(r.entries.size(), 100000u);
  // With a CR anywhere, a lone LF is an ordinary character of its line.
  r = f.run("\xEF\xBB\xBFu1964_001 - A - B.mp3" + f.mp3.Fingerprint() + "\n\nx\r", host);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].line, "u1964_001 - A - B.mp3" + f.mp3.Fingerprint() + "\n\nx") << "the byte-order mark is skipped";
}

TEST(HostileChecksumFile, NulBytesStayInTheLine) {
  TempFolder dir;
  ChecksumFile qn(dir.write("c.qn", std::string("a\0b\r\0\r\n", 7)));
  EXPECT_EQ(qn.read_line(), std::string("a\0b", 3));
  EXPECT_EQ(qn.read_line(), std::string(1, '\0'));
  EXPECT_TRUE(qn.at_end());
}

// Empty files are enough: the entries name ".nfo" placeholders, which are found, not checked.
// A folder in memory where the system has one: creating 100,000 files on a disk is slow.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
      path_ = fs::path("/dev/shm") / fs::path(fallback_.path()).filename();
      if (!fs::create_directory(path_, ec) || ec) path_.clear();
    }
    if (path_.empty()) path_ = fallback_.path();
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (path_ != fallback_.path()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string folder() const { return path_.string() + kSep; }

 private:
  TempFolder fallback_;
  fs::path path_;
};

TEST(HostileFolder, HundredThousandFilesAreAllFoundAndClaimed) {
  if (test::running_under_wine())
    GTEST_SKIP() << "creating 100,000 files takes more than ten minutes under Wine";
  ScratchFolder dir;
  constexpr int kFiles = 100000;
  std::string qn;
  qn.reserve(kFiles * 32);
  char name[64];
  for (int i = 1; i <= kFiles; ++i) {
    std::snprintf(name, sizeof name, "u1964_%06d - A - B.nfo", i);
    std::FILE* file = std::fopen((dir.path() / name).string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    // Listed in reverse order, so the lookups cannot profit from the order on disk.
    std::snprintf(name, sizeof name, "u1964_%06d - A - B.nfo\r\n", kFiles + 1 - i);
    qn += name;
  }
  qn += "u1964_200000 - A - B.nfo\r\n";
  const std::string qn_path = (dir.path() / "c.qn").string();
  std::ofstream(qn_path, std::ios::binary) << qn;
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn_path, false, host);
  EXPECT_EQ(r.file_count, kFiles);
  ASSERT_EQ(r.entries.size(), kFiles + 1u);
  EXPECT_EQ(r.entries[0].track_key, "u1964_100000");
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[kFiles - 1].track_key, "u1964_000001");
  EXPECT_EQ(r.entries[kFiles - 1].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[kFiles].status, EntryStatus::kMissing);
  EXPECT_TRUE(r.additional_files.empty());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_NE(r.report_text.find("100000"), std::string::npos) << "the number of files in the report head";
}

// Empty images whose lines record length 0 and sum "0000": every line is looked up and checked.
TEST(HostileFolder, HundredThousandLabelImagesAreAllFoundAndClaimed) {
  if (test::running_under_wine())
    GTEST_SKIP() << "creating 100,000 files takes more than ten minutes under Wine";
  ScratchFolder dir;
  constexpr int kImages = 100000;
  std::string qn;
  char name[64];
  for (int i = 1; i <= kImages; ++i) {
    std::snprintf(name, sizeof name, "u1964_%06d.jpg", i);
    std::FILE* file = std::fopen((dir.path() / name).string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    std::snprintf(name, sizeof name, "U1964_%06d.JPG\xFF" "0\xFF" "0000\r\n", kImages + 1 - i);
    qn += name;
  }
  std::ofstream(dir.path() / "Big Labels.qn", std::ios::binary) << qn;
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  EXPECT_EQ(r.file_count, kImages);
  ASSERT_EQ(r.entries.size(), static_cast<std::size_t>(kImages));
  EXPECT_EQ(r.entries[0].report_line, "u1964_100000 OK");
  EXPECT_EQ(r.entries[kImages - 1].report_line, "u1964_000001 OK");
  EXPECT_TRUE(r.additional_files.empty());
  EXPECT_TRUE(host.errors.empty());
}

// The label run takes the first of names that differ only in letter case, in byte order.
TEST(HostileFolder, LabelLookupIgnoresCaseAndTakesTheFirstInByteOrder) {
#ifdef _WIN32
  GTEST_SKIP() << "names that differ only in letter case are one file on Windows";
#endif
  TempFolder dir;
  dir.write("u1.jpg", std::string());
  dir.write("U1.JPG", std::string("x"));
  dir.write("c Labels.qn", std::string("u1.jpg\xFF" "1\xFF" "0078\r\nu1.jpg\xFF" "0\xFF" "0000\r\nu1.jpg\xFF" "0\xFF" "0000\r\n"));
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[0].report_line, "U1 OK") << "\"U1.JPG\" sorts before \"u1.jpg\"";
  EXPECT_EQ(r.entries[1].report_line, "u1 OK");
  EXPECT_EQ(r.entries[2].status, EntryStatus::kMissing) << "both claimed";
}

TEST(HostileFolder, SortedLookupPastSixteenBitIndexes) {
  FileList list = empty_file_list();
  for (int i = 70000; i >= 1; --i) list.push_back("/f/u" + std::to_string(i));
  SortFileList(list);
  SortedIndex index(list);
  const int at = index.SortedLookup("/F/U69999");
  ASSERT_GT(at, 32767);
  EXPECT_EQ(list[at], "/f/u69999");
}

}  // namespace
}  // namespace qn
