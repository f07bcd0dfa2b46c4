#include "audio/frame_header.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace qn {
namespace {

bool accepts(std::array<std::uint8_t, 4> bytes, FrameHeaderRecord& record) {
  return IsValidFrameHeader(bytes.data(), record);
}

TEST(FrameHeader, BitTextsPutTheMostSignificantBitFirst) {
  EXPECT_EQ(ByteToBits(251), "11111011");
  EXPECT_EQ(ByteToBits(0), "00000000");
  const std::uint8_t bytes[4] = {0xFF, 0xFB, 0x92, 0x01};
  HeaderBits bits = BytesToBits(bytes);
  EXPECT_EQ(std::string(bits.data(), 32), "11111111111110111001001000000001");
  FrameHeaderRecord r;
  SplitFrameHeader(bits, r);
  EXPECT_EQ(r.frame_sync.text(), "11111111111");
  EXPECT_EQ(r.version.text(), "11");
  EXPECT_EQ(r.layer.text(), "01");
  EXPECT_EQ(r.bitrate_index.text(), "1001");
  EXPECT_EQ(r.sampling_rate_index.text(), "00");
  EXPECT_EQ(r.padding.text(), "1");
  EXPECT_EQ(r.emphasis.text(), "01");
}

TEST(FrameHeader, AcceptedHeadersGiveTheirFrameLength) {
  FrameHeaderRecord r;
  ASSERT_TRUE(accepts({0xFF, 0xFB, 0x90, 0x00}, r));
  EXPECT_EQ(FrameLength(r), 417);
  ASSERT_TRUE(accepts({0xFF, 0xFB, 0x92, 0x00}, r));  // padding bit set
  EXPECT_EQ(FrameLength(r), 418);
  // MPEG-2, 64 kbit/s, 22050 Hz: factor 144 and a pad of 1 even with the padding bit clear.
  ASSERT_TRUE(accepts({0xFF, 0xF3, 0x80, 0x00}, r));
  EXPECT_EQ(FrameLength(r), 418);
  ASSERT_TRUE(accepts({0xFF, 0xFB, 0x14, 0x00}, r));  // 32 kbit/s at 48000 Hz
  EXPECT_EQ(FrameLength(r), 96);
  ASSERT_TRUE(accepts({0xFF, 0xFB, 0x18, 0x00}, r));  // 32 kbit/s at 32000 Hz
  EXPECT_EQ(FrameLength(r), 144);
  ASSERT_TRUE(accepts({0xFF, 0xFA, 0xE0, 0x00}, r));  // CRC present, 320 kbit/s
  EXPECT_EQ(FrameLength(r), 1044);
}

TEST(FrameHeader, EmphasisOneOnlyWithoutCrc) {
  FrameHeaderRecord r;
  EXPECT_TRUE(accepts({0xFF, 0xFB, 0x90, 0x01}, r));
  EXPECT_FALSE(accepts({0xFF, 0xFA, 0x90, 0x01}, r));
  EXPECT_FALSE(accepts({0xFF, 0xF3, 0x80, 0x01}, r));  // MPEG-2: second byte is not 251
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0x90, 0x02}, r));
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0x90, 0x03}, r));
}

TEST(FrameHeader, RejectsOtherVersionsLayersAndIndexes) {
  FrameHeaderRecord r;
  EXPECT_FALSE(accepts({0xFF, 0xE3, 0x90, 0x00}, r));  // version 00 (MPEG-2.5)
  EXPECT_FALSE(accepts({0xFF, 0xEB, 0x90, 0x00}, r));  // version 01
  EXPECT_FALSE(accepts({0xFF, 0xFF, 0x90, 0x00}, r));  // layer I
  EXPECT_FALSE(accepts({0xFF, 0xFD, 0x90, 0x00}, r));  // layer II
  EXPECT_FALSE(accepts({0xFF, 0xF9, 0x90, 0x00}, r));  // layer 00
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0x00, 0x00}, r));  // free bitrate
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0xF0, 0x00}, r));  // bad bitrate
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0x9C, 0x00}, r));  // sampling-rate index 11
  EXPECT_FALSE(accepts({0xFE, 0xFB, 0x90, 0x00}, r));
}

TEST(FrameHeader, RecordIsFilledOnlyOnceTheSyncBitsAreSet) {
  FrameHeaderRecord r;
  ASSERT_TRUE(accepts({0xFF, 0xFB, 0x90, 0x00}, r));
  // Incomplete sync: rejected, the record still describes the previous header.
  EXPECT_FALSE(accepts({0xFF, 0xDF, 0xF0, 0x03}, r));
  EXPECT_EQ(r.bitrate_index.text(), "1001");
  EXPECT_EQ(r.emphasis.text(), "00");
  // Full sync but a rejected emphasis: the record now holds the rejected header.
  EXPECT_FALSE(accepts({0xFF, 0xFB, 0xA0, 0x02}, r));
  EXPECT_EQ(r.bitrate_index.text(), "1010");
  EXPECT_EQ(r.emphasis.text(), "10");
}

TEST(BitrateTable, RowsAndLookup) {
  const auto& table = InitBitrateTable();
  EXPECT_EQ(table[0], " 1111 1110 1101 1011 1010 1001");
  EXPECT_EQ(table[2], "0010 64 48 40 48 16 16");
  FrameHeaderRecord r;
  accepts({0xFF, 0xFB, 0xE0, 0x00}, r);
  EXPECT_EQ(LookupBitrate(r), 320);
  accepts({0xFF, 0xF3, 0xD0, 0x00}, r);
  EXPECT_EQ(LookupBitrate(r), 144);
  accepts({0xFF, 0xFF, 0xD0, 0x00}, r);  // layer I, rejected but split
  EXPECT_EQ(LookupBitrate(r), 416);
  accepts({0xFF, 0xFB, 0xF0, 0x00}, r);  // index 1111 has no row
  EXPECT_FALSE(LookupBitrate(r).has_value());
  accepts({0xFF, 0xE3, 0x90, 0x00}, r);  // version 00 has no column
  EXPECT_FALSE(LookupBitrate(r).has_value());
}

}  // namespace
}  // namespace qn
