#include <gtest/gtest.h>

#include "base/step_error.h"
#include "engine/checksum_file.h"
#include "engine/report.h"
#include "engine/verdicts.h"
#include "support/fixtures.h"

namespace qn {
namespace {

std::string Decode(const std::string& result) { return decode_verdicts(result, id3_suffix(result)).text; }

TEST(DecodeVerdicts, Mp3CodesWithTheirId3Suffix) {
  EXPECT_EQ(Decode("0"), " OK");
  EXPECT_EQ(Decode(""), " OK") << "a found file that is not examined";
  EXPECT_EQ(Decode("1 ID3v1 OK"), " FAIL (Length of Audio Error) ID3v1 OK");
  EXPECT_EQ(Decode("3 ID3v1 OK ID3v2 Fails"), " FAIL (255 bytes following Start of Audio) ID3v1 OK ID3v2 Fails");
  EXPECT_EQ(Decode("4 ID3v2 OK"), " FAIL (Last 255 bytes of file) ID3v2 OK");
  EXPECT_EQ(Decode("5"), " FAIL (No Start of Audio Found)");
  EXPECT_EQ(Decode("6"),
            " FAIL (More than 80000 additional bytes found between End of Audio and End of File)");
  EXPECT_EQ(Decode("7 ID3v1 OK"), "") << "a code outside the table adds nothing, not even the suffix";
  EXPECT_EQ(Decode("2"), "");
}

TEST(DecodeVerdicts, FlacFlagsInPositionOrder) {
  EXPECT_EQ(Decode("0000"), " OK");
  EXPECT_EQ(Decode("0101"), " FAIL (First 100 bytes of File Error) FAIL (Mismatch in more than 100 bytes of Audio)");
  EXPECT_EQ(Decode("1010"), " FAIL (Length of File Error) FAIL (Last 100 bytes of File Error)");
  EXPECT_EQ(Decode("0x00"), "") << "four characters without a 1 give no verdict";
  DecodedVerdicts placeholder = decode_verdicts("0", " Placeholder");
  EXPECT_EQ(placeholder.text, " OK Placeholder");
  DecodedVerdicts two = decode_verdicts("1100", " X");
  EXPECT_EQ(two.text, " FAIL (Length of File Error) X FAIL (First 100 bytes of File Error) X");
  EXPECT_EQ(two.verdicts.size(), 2u);
}

TEST(LeadingNumber, SkipsBlanksAndStopsAtOtherCharacters) {
  EXPECT_EQ(leading_number(" 1 2x3"), 12);
  EXPECT_EQ(leading_number("x5"), 0);
  EXPECT_EQ(leading_number(""), 0);
  EXPECT_GT(leading_number("99999999999999999999"), 0) << "no overflow";
}

TEST(StatusOfVerdicts, FailsOnAnyFailOrFailingTagCheck) {
  EXPECT_EQ(status_of_verdicts({" OK"}, " ID3v1 OK ID3v2 OK"), EntryStatus::kOk);
  EXPECT_EQ(status_of_verdicts({" OK"}, " ID3v1 OK ID3v2 Fails"), EntryStatus::kFail);
  EXPECT_EQ(status_of_verdicts({" FAIL (Length of Audio Error)"}, ""), EntryStatus::kFail);
  EXPECT_EQ(status_of_verdicts({}, ""), EntryStatus::kNoVerdict);
}

TEST(Report, AudioLayoutWithTrailer) {
  std::tm when{};
  when.tm_year = 126;
  when.tm_mon = 0;
  when.tm_mday = 3;
  when.tm_hour = 7;
  EXPECT_EQ(date_line(when), "Date & Time: 03 Jan 2026 07:00:00");
  FileList found = {"", "", "/f" + std::string(1, kSep) + "u1_x.mp3"};
  EXPECT_EQ(audio_report_text("/f/", ".flac", found, "body\r\n", when),
            "Quarnell flac Verify Rev37\r\n-------------------------\r\nFolder Processed /f/\r\n"
            "Number of Files: 2\r\nDate & Time: 03 Jan 2026 07:00:00\r\n\r\nbody\r\n"
            "\r\nAdditional Files Found\r\nu1_x.mp3\r\n\r\n");
  EXPECT_EQ(label_report_text("/f/", nullptr, "No matching .qn file found in /f/", when),
            "Quarnell Label Verify Rev37\r\n---------------------------\r\nFolder Processed /f/\r\n"
            "Date & Time: 03 Jan 2026 07:00:00\r\n\r\nNo matching .qn file found in /f/\r\n\r\n\r\n");
}

TEST(ChecksumFile, LinesEndAtCrOrCrLfButNotAtLoneLf) {
  test::TempFolder dir;
  std::string path = dir.write("c.qn", std::string("a\r\nb\rc\nd\r\n\r\nAlbums\\x"));
  ChecksumFile file(path);
  std::vector<std::string> lines;
  do lines.push_back(file.read_line());
  while (!file.at_end());
  std::string sep(1, kSep);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c\nd", "", "Albums" + sep + "x"}));
  EXPECT_THROW(file.read_line(), StepError);
  EXPECT_THROW(ChecksumFile(dir.folder() + "none.qn"), StepError);
}

}  // namespace
}  // namespace qn
