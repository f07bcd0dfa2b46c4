#include <gtest/gtest.h>

#include "audio/block_sums.h"
#include "audio/check_audio_file.h"
#include "audio_fixture.h"
#include "base/step_error.h"
#include "platform/byte_file.h"

namespace qn {
namespace {

using namespace test;

// A correct FLAC fingerprint with the middle block at middle_offset.
std::string flac_fields(const Bytes& b, std::size_t middle_offset) {
  std::size_t L = b.size();
  return "whateverZ" + hex(L) + "Z" + hex(sum(b, 0, 100)) + "Z" + hex(sum(b, L - 101, 100)) + "Z" +
         hex(sum(b, middle_offset, 100));
}

TEST(CheckFlac, MiddleBlockRoundsHalfLengthToEven) {
  TempFolder dir;
  Bytes odd_low = filler(1001, 3);
  std::string p1 = dir.write("a.flac", odd_low);
  EXPECT_EQ(CheckAudioFile(p1, flac_fields(odd_low, 499), {}), "0000");
  EXPECT_EQ(CheckAudioFile(p1, flac_fields(odd_low, 500), {}), "0001");

  Bytes odd_high = filler(1003, 3);
  std::string p2 = dir.write("b.flac", odd_high);
  EXPECT_EQ(CheckAudioFile(p2, flac_fields(odd_high, 501), {}), "0000");
  EXPECT_EQ(CheckAudioFile(p2, flac_fields(odd_high, 500), {}), "0001");

  Bytes even = filler(1000, 3);
  std::string p3 = dir.write("c.flac", even);
  EXPECT_EQ(CheckAudioFile(p3, flac_fields(even, 499), {}), "0000");
}

TEST(CheckFlac, EndBlockStopsOneByteBeforeTheEnd) {
  TempFolder dir;
  Bytes b = filler(1001, 5);
  std::string path = dir.write("a.flac", b);
  const std::string good = flac_fields(b, 499);
  // The 100 bytes at L-100..L-1 are not the block.
  std::string shifted = "xZ" + hex(1001) + "Z" + hex(sum(b, 0, 100)) + "Z" + hex(sum(b, 901, 100)) + "Z" +
                        hex(sum(b, 499, 100));
  EXPECT_EQ(CheckAudioFile(path, shifted, {}), "0010");
  // Changing the last byte leaves every block alone; changing byte L-101 breaks the end block.
  b[1000] ^= 0x55;
  path = dir.write("b.flac", b);
  EXPECT_EQ(CheckAudioFile(path, good, {}), "0000");
  b[900] ^= 0x55;
  path = dir.write("c.flac", b);
  EXPECT_EQ(CheckAudioFile(path, good, {}), "0010");
}

TEST(CheckFlac, FlagsComparePartsAsExactText) {
  TempFolder dir;
  Bytes b = filler(4000, 9);
  std::string path = dir.write("a.flac", b);
  const std::string sums = "Z" + hex(sum(b, 0, 100)) + "Z" + hex(sum(b, 3899, 100)) + "Z" + hex(sum(b, 1999, 100));
  EXPECT_EQ(CheckAudioFile(path, "xZFA0" + sums, {}), "0000");
  EXPECT_EQ(CheckAudioFile(path, "xZfa0" + sums, {}), "1000");
  EXPECT_EQ(CheckAudioFile(path, "xZ0FA0" + sums, {}), "1000");
  EXPECT_EQ(CheckAudioFile(path, "xZ0Z0Z0Z0", {}), "1111");
  EXPECT_THROW(CheckAudioFile(path, "xZ0Z0Z0", {}), StepError);
  // A file too short for the end block raises rather than reading before its start.
  std::string tiny = dir.write("tiny.flac", filler(50));
  EXPECT_THROW(CheckAudioFile(tiny, "xZ32Z0Z0Z0", {}), StepError);
}

TEST(CheckAudioFile, DispatchesOnTheEndingWithoutRegardToCase) {
  TempFolder dir;
  Bytes b = filler(1000);
  EXPECT_EQ(CheckAudioFile(dir.write("b.MP3", b), "0Z0Z0Z0Z0", {}), "5");
  EXPECT_EQ(CheckAudioFile(dir.write("b.Flac", b), "0Z0Z0Z0Z0", {}), "1111");
  EXPECT_THROW(CheckAudioFile(dir.write("c.MP3", b), "garbage", {}), StepError);
  EXPECT_EQ(CheckAudioFile(dir.write("a.mp3.txt", b), "", {}), "");
  EXPECT_EQ(CheckAudioFile(dir.write("a.mp3", b), "0Z0Z0Z0Z0", {}), "5");
  EXPECT_EQ(CheckAudioFile(dir.write("a.flac", b), "0Z0Z0Z0Z0", {}), "1111");
  // Every file is opened, so a missing one fails even with an ending that is not checked.
  EXPECT_THROW(CheckAudioFile(dir.write("x", Bytes{}) + "-missing.MP3", "", {}), StepError);
}

TEST(BlockSums, HexFormsAndZeroPastTheEnd) {
  EXPECT_EQ(HexByteSum(nullptr, 0), "0");
  const std::uint8_t bytes[] = {0xFF, 0xFF, 0x0E};
  EXPECT_EQ(HexByteSum(bytes, 3), "20C");
  EXPECT_EQ(FourDigitHex(0), "0000");
  EXPECT_EQ(FourDigitHex(2748), "0ABC");
  EXPECT_EQ(FourDigitHex(65025), "FE01");
  EXPECT_EQ(FourDigitHex(0x12345), "2345");

  TempFolder dir;
  Bytes b(300, 0xFF);
  platform::ByteFile f(dir.write("ff.bin", b));
  EXPECT_EQ(BlockSum255(f, 0), 255u * 255u);
  EXPECT_EQ(BlockSum255(f, 100), 200u * 255u);
  EXPECT_EQ(BlockSum255(f, 5000), 0u);
  EXPECT_THROW(BlockSum255(f, -1), StepError);
}

}  // namespace
}  // namespace qn
