#include <gtest/gtest.h>

#include "base/step_error.h"
#include "engine/exit_status.h"
#include "engine/verify.h"
#include "engine/verify_labels.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"

namespace qn {
namespace {

using test::RecordingHost;
using test::TempFolder;

std::vector<std::uint8_t> Image(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 31 + seed * 7) & 0xFF);
  bytes[0] = 0xFF;
  bytes[1] = 0xD8;
  return bytes;
}

std::string label_line(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  return name + "\xFF" + std::to_string(bytes.size()) + "\xFF" + test::hex4(test::sum_of(bytes, 0, 255));
}

const std::string kHead = "Quarnell Label Verify Rev37\r\n" + std::string(27, '-') + "\r\nFolder Processed ";

TEST(VerifyLabelFolder, VerdictsMissingAndAdditional) {
  TempFolder dir;
  auto a = Image(1000, 1), b = Image(800, 2), c = Image(600, 3), d = Image(500, 4), e = Image(300, 5);
  dir.write("u1964_001.jpg", a);
  dir.write("U1964_002.JPG", b);  // names are compared without regard to letter case
  auto longer = c;
  longer.push_back(0);
  dir.write("u1964_003.jpg", longer);
  auto changed = d;
  changed.push_back(1);
  changed[10] ^= 0x40;
  dir.write("u1964_004.jpg", changed);
  dir.write("u1964_005.jpg", Image(300, 9));
  dir.write("u1964_099.jpg", e);
  std::string lines = label_line("u1964_001.jpg", a) + "\r\n" + label_line("u1964_002.jpg", b) + "\r\n" +
                      label_line("u1964_003.jpg", c) + "\r\n" + label_line("u1964_004.jpg", d) + "\r\n" +
                      label_line("u1964_005.jpg", e) + "\r\n" + label_line("u1964_006.jpg", e);
  dir.write("Chart Labels.qn", lines);
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(r.report_text, kHead + dir.folder() + "\r\n" + test::kFixedDateLine + "\r\n\r\n" +
                               "u1964_001 OK\r\n"
                               "U1964_002 OK\r\n"
                               "u1964_003 FAIL (Length of File Error)\r\n"
                               "u1964_004 FAIL (Length of File and first 255 bytes differ)\r\n"
                               "u1964_005 FAIL (255 bytes following Start of File)\r\n"
                               "u1964_006.jpg <<<  MISSING\r\n"
                               "\r\n\r\n"
                               "\r\nAdditional Files Found\r\nu1964_099.jpg\r\n"
                               "\r\n");
  EXPECT_EQ(r.kind, FolderKind::kLabels);
  ASSERT_EQ(r.entries.size(), 6u);
  EXPECT_EQ(r.entries[5].status, EntryStatus::kMissing);
  EXPECT_EQ(r.entries[2].status, EntryStatus::kFail);
}

TEST(CheckLabelImage, SumFieldIsComparedAsUpperCaseText) {
  TempFolder dir;
  std::vector<std::uint8_t> bytes(400, 0x0B);  // sum of 255 bytes: 0x0AF5
  std::string path = dir.write("u1.jpg", bytes);
  EXPECT_EQ(CheckLabelImage({"u1.jpg", "400", "0AF5"}, path), 0);
  EXPECT_EQ(CheckLabelImage({"u1.jpg", "400", "0af5"}, path), 2);
  EXPECT_EQ(CheckLabelImage({"u1.jpg", "401", "AF5"}, path), 3);
  std::string tiny = dir.write("u2.jpg", std::vector<std::uint8_t>(3, 1));
  EXPECT_EQ(CheckLabelImage({"u2.jpg", "3", "0003"}, tiny), 0) << "short images sum what they hold";
  EXPECT_THROW(CheckLabelImage({"u1.jpg"}, path), StepError);
  EXPECT_THROW(CheckLabelImage({"u1.jpg", "4x0", "0AF5"}, path), StepError);
}

TEST(VerifyLabelFolder, ALineWithoutFieldsFailsOnlyItsCheck) {
  TempFolder dir;
  auto a = Image(700, 1);
  dir.write("u1.jpg", a);
  dir.write("u2.jpg", a);
  dir.write("xLabels.qn", "u1.jpg\r\n" + label_line("u2.jpg", a) + "\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_EQ(host.errors[0].context, "u1.jpg") << "the error names its checksum line";
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].report_line, "u1");
  EXPECT_EQ(r.entries[0].status, EntryStatus::kNoVerdict);
  EXPECT_EQ(r.entries[1].report_line, "u2 OK");
  EXPECT_TRUE(r.additional_files.empty()) << "the image of the failed line was claimed";
}

TEST(VerifyLabelFolder, NeedsExactlyOneLabelsChecksumFileAndSomeImages) {
  TempFolder dir;
  dir.write("u1.jpg", Image(300, 1));
  dir.write("aLabels.qn", std::string("u1.jpg\xFF" "300\xFF" "0000"));
  dir.write("bLabels.qn", std::string("u1.jpg\xFF" "300\xFF" "0000"));
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  EXPECT_TRUE(r.nothing_verified);
  EXPECT_EQ(r.report_text, kHead + dir.folder() + "\r\n" + test::kFixedDateLine + "\r\n\r\n" +
                               "No matching .qn file found in " + dir.folder() + "\r\n\r\n\r\n");

  TempFolder bare;
  bare.write("Labels.qn", std::string("u1.jpg\xFF" "300\xFF" "0000"));
  test::CollectedRun none = test::verify_labels(bare.folder(), host);
  EXPECT_TRUE(none.nothing_verified);
  EXPECT_NE(none.report_text.find("No Quarnell Image Files found in " + bare.folder()), std::string::npos);

  // No folder at all: nothing is searched and the report's body is empty.
  test::CollectedRun empty = test::verify_labels("", host);
  EXPECT_TRUE(empty.nothing_verified);
  EXPECT_EQ(empty.report_text, kHead + std::string("\r\n") + test::kFixedDateLine + "\r\n\r\n\r\n\r\n\r\n");
}

TEST(VerifyLabelFolder, AnEmptyLineIsAFailedStepAndALineLeavingTheFolderIsNotLookedUp) {
  TempFolder dir;
  auto a = Image(700, 1);
  dir.write("u1.jpg", a);
  dir.write("xLabels.qn", label_line("u1.jpg", a) + "\r\n\r\n..\\u1.jpg\xFF" "700\xFF" "0000\r\n");
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[0].status, EntryStatus::kOk);
  EXPECT_EQ(r.entries[1].status, EntryStatus::kNoVerdict);
  EXPECT_TRUE(r.entries[1].step_failed);
  EXPECT_EQ(r.entries[2].status, EntryStatus::kMissing);
  ASSERT_EQ(host.errors.size(), 2u);
  EXPECT_NE(host.errors[1].description.find("outside the verified folder"), std::string::npos);
}

template <typename T>
constexpr bool keeps_entries = requires(T run) { run.entries; };

// A run holds no entries, however many it has: they go to its sink, and the result keeps their
// tally, the first kKeptErrors failed steps and the number of all of them, which the host saw each.
TEST(VerifyLabelFolder, KeepsATallyAndTheFirstErrorsNotTheEntries) {
  static_assert(!keeps_entries<RunResult>);
  TempFolder dir;
  dir.write("u1964_001.jpg", Image(300, 1));
  const long lines = static_cast<long>(kKeptErrors) + 5;
  dir.write("Set Labels.qn", std::string(static_cast<std::size_t>(lines), '\r'));  // empty lines: a failed step each
  RecordingHost host;
  test::CollectedRun r = test::verify_labels(dir.folder(), host);
  EXPECT_EQ(r.entries.size(), static_cast<std::size_t>(lines));
  EXPECT_EQ(r.tally.entries, lines);
  EXPECT_EQ(r.tally.no_verdict, lines);
  EXPECT_EQ(r.errors.size(), kKeptErrors);
  EXPECT_EQ(r.error_count, lines);
  EXPECT_EQ(static_cast<long>(host.errors.size()), lines);
  EXPECT_EQ(exit_status_of(r), 1 | 4 | 8);
}

}  // namespace
}  // namespace qn
