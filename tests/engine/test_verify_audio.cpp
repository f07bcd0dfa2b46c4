#include <gtest/gtest.h>

#include <filesystem>

#include "engine/verify.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"

namespace qn {
namespace {

using test::FakeMp3;
using test::RecordingHost;
using test::TempFolder;

const std::string kHead25 = std::string(25, '-');

std::string head(const std::string& kind, const std::string& folder, int files) {
  return "Quarnell " + kind + " Verify Rev37\r\n" + kHead25 + "\r\nFolder Processed " + folder +
         "\r\nNumber of Files: " + std::to_string(files) + "\r\n" + test::kFixedDateLine + "\r\n\r\n";
}

// A folder of three good tracks, one damaged, one listed but absent, one nobody lists, a present
// placeholder and an absent one.
struct Mp3Folder {
  TempFolder dir;
  std::string qn;

  explicit Mp3Folder(bool damage = true) {
    FakeMp3 a = FakeMp3::Make(300, 12, true, 1), b = FakeMp3::Make(0, 10, false, 2),
            c = FakeMp3::Make(1000, 9, true, 3);
    std::string lines;
    lines += "u1964_001 - Alpha - One.mp3" + a.Fingerprint() + "\r\n";
    lines += "u1964_002b - Beta - Two.mp3" + b.Fingerprint() + "\r\n";
    lines += "u1964_003 - Gamma - Three.mp3" + c.Fingerprint() + "\r\n";
    lines += "u1964_004 - Delta - Four.mp3" + a.Fingerprint() + "\r\n";
    lines += "u1964_001 - Alpha - One.nfo\r\n";
    lines += "u1964_002b - Beta - Two.nfo\r\n";
    if (damage) c.bytes[c.bytes.size() - 200] ^= 0x01;  // inside the end block
    dir.write("u1964_001 - Alpha - One.mp3", a.bytes);
    dir.write("u1964_002b - Beta - Two.mp3", b.bytes);
    dir.write("u1964_003 - Gamma - Three.mp3", c.bytes);
    dir.write("u1964_009 - Extra - Nine.mp3", b.bytes);
    dir.write("u1964_001 - Alpha - One.nfo", std::string("u1964_001 - Alpha - One.nfo\r\n"));
    qn = dir.write("Chart 1964.qn", lines);
  }
};

TEST(VerifyAudioFolder, WritesTheReportLineByLine) {
  Mp3Folder f;
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(f.dir.folder(), f.qn, false, host);
  std::string expected = head("mp3", f.dir.folder(), 5) +
                         "u1964_001 OK ID3v1 OK ID3v2 OK\r\n"
                         "u1964_002b OK ID3v1 OK ID3v2 OK\r\n"
                         "u1964_003 FAIL (Last 255 bytes of file) ID3v1 OK ID3v2 OK\r\n"
                         "u1964_004 MISSING mp3 file\r\n"
                         "u1964_001 OK Placeholder\r\n"
                         "u1964_002b MISSING Placeholder file\r\n"
                         "\r\nAdditional Files Found\r\nu1964_009 - Extra - Nine.mp3\r\n"
                         "\r\n";
  EXPECT_EQ(r.report_text, expected);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(r.kind, FolderKind::kMp3);
  ASSERT_EQ(r.entries.size(), 6u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[2].status, EntryStatus::kFail);
  EXPECT_EQ(r.entries[3].status, EntryStatus::kMissing);
  EXPECT_EQ(r.additional_files, std::vector<std::string>{"u1964_009 - Extra - Nine.mp3"});
  EXPECT_EQ(host.progress.front(), f.dir.folder() + "u1964_001 - Alpha - One.mp3");
}

TEST(VerifyAudioFolder, Id3OptionsAreReadPerFile) {
  Mp3Folder f(false);
  RecordingHost host;
  host.id3v1 = false;
  test::CollectedRun r = test::verify_audio(f.dir.folder(), f.qn, false, host);
  EXPECT_EQ(r.entries[0].report_line, "u1964_001 OK ID3v2 OK");
  host.id3v2 = false;
  r = test::verify_audio(f.dir.folder(), f.qn, false, host);
  EXPECT_EQ(r.entries[0].report_line, "u1964_001 OK");
  EXPECT_TRUE(host.id3_enabled);
}

TEST(VerifyAudioFolder, CreatesMissingPlaceholdersOnlyWhenAsked) {
  Mp3Folder f;
  const auto nfo = f.dir.path() / "u1964_002b - Beta - Two.nfo";
  RecordingHost host;
  VerifyAudioFolder(f.dir.folder(), f.qn, test::test_options(), host);
  EXPECT_FALSE(std::filesystem::exists(nfo));
  test::CollectedRun r = test::verify_audio(f.dir.folder(), f.qn, true, host);
  EXPECT_EQ(r.entries[5].report_line, "u1964_002b OK Placeholder");
  EXPECT_EQ(r.entries[5].status, EntryStatus::kPlaceholderCreated);
  EXPECT_EQ(test::read_file(nfo), "u1964_002b - Beta - Two.nfo\r\n");
  // A missing audio entry is never "created".
  EXPECT_EQ(r.entries[3].status, EntryStatus::kMissing);
}

TEST(VerifyAudioFolder, RefusesPlaceholdersOutsideTheFolder) {
  TempFolder root;
  FakeMp3 a = FakeMp3::Make(0, 8, false);
  std::string sub = (root.path() / "chart").string() + kSep;
  root.write("chart/u1964_001 - A - B.mp3", a.bytes);
  std::string qn = root.write("chart/c.qn", "u1964_001 - A - B.mp3" + a.Fingerprint() +
                                                "\r\n..\\u1964_002 - Evil - Up.nfo\r\n/tmp/u_abs.nfo");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(sub, qn, true, host);
  EXPECT_FALSE(std::filesystem::exists(root.path() / "u1964_002 - Evil - Up.nfo"));
  EXPECT_FALSE(std::filesystem::exists("/tmp/u_abs.nfo"));
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[1].status, EntryStatus::kMissing);
  EXPECT_EQ(r.entries[1].report_line, "u1964_002 MISSING Placeholder file");
  EXPECT_EQ(r.entries[2].status, EntryStatus::kMissing);
  EXPECT_GE(host.errors.size(), 2u);
}

TEST(VerifyAudioFolder, AStepErrorNeverReadsAsOkAndTheRunGoesOn) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(100, 8, false, 5);
  dir.write("u1964_001 - A - One.mp3", a.bytes);
  dir.write("u1964_002 - B - Two.mp3", a.bytes);
  dir.write("u1964_003 - C - Three.mp3", a.bytes);
  std::string qn = dir.write("c.qn", "u1964_001 - A - One.mp3ZZ\r\n"           // too few parts
                                     "u1964_002 - B - Two.mp3\r\n"             // empty field
                                     "u1964_003 - C - Three.mp3" + a.Fingerprint() + "\r\n"
                                     "no underscore here.mp3" + a.Fingerprint());
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  ASSERT_EQ(r.entries.size(), 4u);
  EXPECT_EQ(r.entries[0].report_line, "u1964_001");
  EXPECT_EQ(r.entries[0].status, EntryStatus::kNoVerdict);
  EXPECT_EQ(r.entries[1].report_line, "u1964_002");
  EXPECT_EQ(r.entries[1].status, EntryStatus::kNoVerdict);
  EXPECT_EQ(r.entries[2].report_line, "u1964_003 OK ID3v1 OK ID3v2 OK");
  EXPECT_EQ(r.entries[3].status, EntryStatus::kMissing);
  EXPECT_EQ(r.entries[3].report_line, "no underscore here MISSING mp3 file") << "no key without \"_\": the name";
  ASSERT_GE(host.errors.size(), 3u);
  EXPECT_EQ(host.errors[0].context, "u1964_001 - A - One.mp3ZZ");
  EXPECT_EQ(r.errors.size(), host.errors.size());
  // Two steps that take the key from one bad name fail once between them.
  for (std::size_t i = 1; i < host.errors.size(); ++i)
    EXPECT_FALSE(host.errors[i].description == host.errors[i - 1].description &&
                 host.errors[i].context == host.errors[i - 1].context)
        << host.errors[i].description;
  EXPECT_NE(r.report_text.find("u1964_001\r\nu1964_002\r\nu1964_003 OK"), std::string::npos);
}

TEST(VerifyAudioFolder, EmptyOrUnreadableChecksumFile) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(0, 8, false);
  dir.write("u1964_001 - A - B.mp3", a.bytes);
  std::string qn = dir.write("empty.qn", std::string());
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  ASSERT_EQ(r.entries.size(), 1u) << "an empty file is read as one empty entry";
  EXPECT_FALSE(host.errors.empty());

  RecordingHost host2;
  test::CollectedRun none = test::verify_audio(dir.folder(), dir.folder() + "absent.qn", false, host2);
  EXPECT_TRUE(none.entries.empty());
  EXPECT_TRUE(none.nothing_verified);
  ASSERT_FALSE(host2.errors.empty());
  EXPECT_NE(host2.errors[0].description.find("absent.qn"), std::string::npos);
}

TEST(VerifyAudioFolder, TrailingEmptyLineAndLoneLineFeeds) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(0, 8, false);
  dir.write("u1964_001 - A - B.mp3", a.bytes);
  std::string qn = dir.write("c.qn", "u1964_001 - A - B.mp3" + a.Fingerprint() + "\r\n\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  EXPECT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
}

TEST(VerifyAudioFolder, NoAudioFilesGivesTheShortReport) {
  TempFolder dir;
  std::string qn = dir.write("c.qn", "u1964_001 - A - B.mp3AZ0Z1Z0Z00000000\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  EXPECT_EQ(r.report_text, "Quarnell  Verify Rev37\r\n" + kHead25 + "\r\nFolder Processed " + dir.folder() +
                               "\r\nNumber of Files: 0\r\n" + test::kFixedDateLine +
                               "\r\n\r\nNo Quarnell audio files found\r\n");
  EXPECT_TRUE(r.nothing_verified);
}

TEST(VerifyAudioFolder, FlacFolderIgnoresMp3FilesAndLabelsChannels) {
  TempFolder dir;
  std::string flac(1001, 'f');
  for (std::size_t i = 0; i < flac.size(); ++i) flac[i] = static_cast<char>(i * 7);
  dir.write("u1970_001 - A - B.flac", flac);
  dir.write("u1970_002 - C - D.mp3", FakeMp3::Make(0, 8, false).bytes);
  std::vector<std::uint8_t> bytes(flac.begin(), flac.end());
  std::string fp = "0Z" + text::hex_text(1001) + "Z" + text::hex_text(test::sum_of(bytes, 0, 100)) + "Z" +
                   text::hex_text(test::sum_of(bytes, 900, 100)) + "Z" +
                   text::hex_text(test::sum_of(bytes, 499, 100));
  std::string qn = dir.write("c.qn", "u1970_001 - A - B.flac" + fp + " [mono]\r\n"
                                     "u1970_002 - C - D.flac0Z1Z2Z3Z4\r\n"
                                     "u1970_003 - E - F.flac.nfo\r\n"
                                     "u1970_002 - C - D.mp3\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, true, host);
  EXPECT_EQ(r.kind, FolderKind::kFlac);
  EXPECT_FALSE(host.id3_enabled);
  EXPECT_EQ(r.file_count, 1);
  ASSERT_EQ(r.entries.size(), 4u);
  // The " [mono]" after the field makes value 4 of the field differ: the middle block flag is set.
  EXPECT_EQ(r.entries[0].report_line, "u1970_001 mono  FAIL (Mismatch in more than 100 bytes of Audio)");
  EXPECT_EQ(r.entries[1].report_line, "u1970_002 stereo  MISSING flac file");
  EXPECT_EQ(r.entries[2].report_line, "u1970_003 stereo  OK Placeholder") << "a .flac.nfo line is a name";
  EXPECT_EQ(r.entries[3].report_line, "u1970_002 stereo  MISSING flac file");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "u1970_003 - E - F.flac.nfo"));
}

TEST(VerifyAudioFolder, AlbumsSubFolderAndSubFolderMode) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(0, 8, false, 3);
  dir.write("Albums/u1970_01 - Album - One.mp3", a.bytes);
  std::string qn = dir.write("c.qn", "Albums\\u1970_01 - Album - One.mp3" + a.Fingerprint() + "\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk) << r.report_text;

  // Tracks only in Albums/<chart>/: sub-folder mode puts "uLP" lines under the chart's folder.
  const std::string sep(1, kSep);
  TempFolder deep;
  deep.write("Albums/LP1970_5/uLP1970_5 - Album - Two.mp3", a.bytes);
  std::string qn2 = deep.write("c.qn", "Albums\\uLP1970_5 - Album - Two.mp3" + a.Fingerprint() + "\r\n");
  test::CollectedRun r2 = test::verify_audio(deep.folder(), qn2, false, host);
  ASSERT_EQ(r2.entries.size(), 1u);
  EXPECT_EQ(r2.entries[0].line, "Albums" + sep + "LP1970_5" + sep + "uLP1970_5 - Album - Two.mp3" + a.Fingerprint());
  EXPECT_EQ(r2.entries[0].status, EntryStatus::kOk);

  // Verifying the Albums folder itself: the chart's folder is put in front of the line.
  std::string albums = (deep.path() / "Albums").string() + sep;
  std::string qn3 = deep.write("Albums/c.qn", "uLP1970_5 - Album - Two.mp3" + a.Fingerprint() + "\r\n");
  test::CollectedRun r3 = test::verify_audio(albums, qn3, false, host);
  ASSERT_EQ(r3.entries.size(), 1u);
  EXPECT_EQ(r3.entries[0].line, "LP1970_5" + sep + "uLP1970_5 - Album - Two.mp3" + a.Fingerprint());
  EXPECT_EQ(r3.entries[0].status, EntryStatus::kOk) << r3.report_text;
}

TEST(VerifyAudioFolder, ASecondEntryForAClaimedFileIsMissing) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(0, 8, false);
  dir.write("u1964_001 - A - B.mp3", a.bytes);
  std::string line = "u1964_001 - A - B.mp3" + a.Fingerprint() + "\r\n";
  std::string qn = dir.write("c.qn", line + line);
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[1].status, EntryStatus::kMissing);
}

}  // namespace
}  // namespace qn

namespace qn {
namespace {

// Files stored under a known variant of the name their line gives are found and verified, and
// none of them is listed as additional.
TEST(VerifyAudioFolder, FindsTracksStoredUnderNameVariants) {
  TempFolder dir;
  FakeMp3 a = FakeMp3::Make(200, 8, true, 11), b = FakeMp3::Make(0, 9, false, 12),
          c = FakeMp3::Make(300, 10, true, 13), d = FakeMp3::make_tagged("Delta Band", "Four", 8, 14);
  dir.write("u1964_001a - Alpha - One.mp3", a.bytes);                     // letter suffix added
  dir.write("u1964_002 - Beta - Two.mp3", b.bytes);                       // "The " dropped
  dir.write("U1964_003 - GAMMARAY -THREE.MP3", c.bytes);                  // blanks and letter case
  dir.write("u1964_004b - The Delta Band - four (Remix).mp3", d.bytes);   // named by its tag
  std::string qn = dir.write("c.qn", "u1964_001 - Alpha - One.mp3" + a.Fingerprint() + "\r\n" +
                                         "u1964_002 - The Beta - Two.mp3" + b.Fingerprint() + "\r\n" +
                                         "u1964_003 - Gamma Ray - Three.mp3" + c.Fingerprint() + "\r\n" +
                                         "u1964_004 - Delta Band - Four.mp3" + d.Fingerprint() + "\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_audio(dir.folder(), qn, false, host);
  EXPECT_TRUE(host.errors.empty()) << host.errors.front().description;
  ASSERT_EQ(r.entries.size(), 4u);
  EXPECT_EQ(r.entries[0].report_line, "u1964_001a OK ID3v1 OK ID3v2 OK");
  EXPECT_EQ(r.entries[1].report_line, "u1964_002 OK ID3v1 OK ID3v2 OK");
  // A file ending in upper-case ".MP3" is examined like any other.
  EXPECT_EQ(r.entries[2].report_line, "U1964_003 OK ID3v1 OK ID3v2 OK");
  EXPECT_EQ(r.entries[3].report_line, "u1964_004b OK ID3v1 OK ID3v2 OK");
  EXPECT_TRUE(r.additional_files.empty());
}

}  // namespace
}  // namespace qn
