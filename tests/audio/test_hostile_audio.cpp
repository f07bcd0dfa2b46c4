// Audio checks on files whose tag regions and fingerprint fields claim more than the file holds.
#include <gtest/gtest.h>

#include "audio/check_audio_file.h"
#include "base/step_error.h"
#include "audio_fixture.h"
#include "support/fixtures.h"

namespace qn {
namespace {

using test::FakeMp3;
using test::TempFolder;

std::vector<std::uint8_t> id3_header(std::uint8_t b6, std::uint8_t b7, std::uint8_t b8, std::uint8_t b9) {
  return {'I', 'D', '3', 3, 0, 0, b6, b7, b8, b9};
}

TEST(HostileAudioCheck, TagRegionLargerThanTheFileFindsNoAudio) {
  TempFolder dir;
  FakeMp3 mp3 = FakeMp3::Make(0, 4, false);
  // The size bytes are read unmasked: FF FF FF FF claims about 34 GB.
  for (const auto& head : {id3_header(0x7F, 0x7F, 0x7F, 0x7F), id3_header(0xFF, 0xFF, 0xFF, 0xFF)}) {
    std::vector<std::uint8_t> bytes = head;
    bytes.insert(bytes.end(), mp3.bytes.begin(), mp3.bytes.end());
    const std::string path = dir.write("u1964_001 - A - B.mp3", bytes);
    EXPECT_EQ(CheckAudioFile(path, mp3.Fingerprint(), {true, true}), "5");
  }
}

TEST(HostileAudioCheck, FingerprintNumbersBeyondTheFileAreReadAsFarAsItGoes) {
  TempFolder dir;
  FakeMp3 mp3 = FakeMp3::Make(64, 6, true);
  const std::string path = dir.write("u1964_001 - A - B.mp3", mp3.bytes);
  // A recorded audio start of 2^63 - 1 bytes: the ID3v2 region fails without being read.
  std::string result = CheckAudioFile(path, "0Z0Z10Z7FFFFFFFFFFFFFFFZ00000000", {false, true});
  EXPECT_EQ(result, "1 ID3v2 Fails");
  // Six parts whose end lies before the start give a length mismatch, not a crash.
  result = CheckAudioFile(path, "0Z0Z10Z7FFFFFFFFFFFFFFFZ00000000Z1", {false, false});
  EXPECT_EQ(result, "1");
  EXPECT_THROW(CheckAudioFile(path, "0Z0Z10Z8000000000000000Z0", {false, false}), StepError)
      << "a number beyond 64 signed bits is malformed";
}

#ifndef _WIN32
TEST(HostileAudioCheck, Id3v2RegionStopsWhereTheAudioBegins) {
  // A tagged track followed by zeros up to 64 MiB; the system reports no holes, so a region that
  // ran to the end of the file would read all of it.
  TempFolder dir;
  const FakeMp3 mp3 = FakeMp3::Make(64, 6, false);
  constexpr std::uint64_t L = std::uint64_t{64} << 20;
  const std::string path = test::write_sparse(dir, "u1964_001 - A - B.mp3", L, 0, mp3.bytes);
  const std::string head_sum = test::hex(test::sum(mp3.bytes, 0, mp3.start));
  const std::string all_sum = test::hex(test::sum(mp3.bytes, 0, mp3.bytes.size()));
  const std::string rest = "Z0Z" + test::hex(L - mp3.start) + "Z";
  const std::string blocks = "Z" + test::four(test::sum(mp3.bytes, mp3.start, 255)) + "0000";
  struct Row {
    std::string region_sum, recorded_start, result;
  };
  const Row rows[] = {
      {head_sum, test::hex(mp3.start), "0 ID3v2 OK"},
      {"0", "0", "0 ID3v2 OK"},
      // The whole file's sum under a start at or past its end: the region is not the file's.
      {all_sum, test::hex(L), "0 ID3v2 Fails"},
      {all_sum, "7FFFFFFFFFFFFFFF", "0 ID3v2 Fails"},
  };
  for (const Row& row : rows) {
    test::CountedReads counted(static_cast<std::int64_t>(L), -1);
    EXPECT_EQ(CheckAudioFile(path, row.region_sum + rest + row.recorded_start + blocks, {false, true}), row.result)
        << row.recorded_start;
    EXPECT_LT(test::CountedReads::bytes(), 256u * 1024) << row.recorded_start;
  }
}
#endif

TEST(HostileAudioCheck, FlacShorterThanItsBlocksFailsTheStep) {
  TempFolder dir;
  for (std::size_t size : {0u, 1u, 100u}) {
    const std::string path = dir.write("u1964_001 - A - B.flac", std::string(size, 'f'));
    EXPECT_THROW(CheckAudioFile(path, "0Z0Z0Z0Z0", {}), StepError) << size;
  }
  const std::string path = dir.write("u1964_001 - A - B.flac", std::string(101, 'f'));
  EXPECT_EQ(CheckAudioFile(path, "0ZFFFFFFFFFFFFFFFFFZ0Z0Z0", {}), "1111");
}

}  // namespace
}  // namespace qn
