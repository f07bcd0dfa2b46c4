#include "audio/audio_search.h"

#include <gtest/gtest.h>

#include "audio/byte_file.h"
#include "audio_fixture.h"

namespace qn {
namespace {

using namespace audio_test;

std::int64_t StartOf(const TempFolder& dir, const Bytes& b) {
  ByteFile f(dir.Write("start.mp3", b));
  return FindStartOfAudio(f);
}

std::int64_t EndOf(const TempFolder& dir, const Bytes& b) {
  ByteFile f(dir.Write("end.mp3", b));
  return FindEndOfAudio(f);
}

TEST(FindStartOfAudio, ConfirmedPairGivesTheFirstOffsetAndOffsetZeroGivesOne) {
  TempFolder dir;
  Bytes b = Filler(2000);
  Put(b, 0);
  Put(b, 417);
  EXPECT_EQ(StartOf(dir, b), 1);

  b = Filler(2000);
  Put(b, 100);
  Put(b, 517);
  EXPECT_EQ(StartOf(dir, b), 100);

  // The confirming header one byte off the frame length does not count.
  b = Filler(2000);
  Put(b, 100);
  Put(b, 518);
  EXPECT_EQ(StartOf(dir, b), -1);
}

TEST(FindStartOfAudio, UnconfirmedCandidateResumesOneByteLater) {
  TempFolder dir;
  Bytes b = Filler(3000);
  Put(b, 100);  // its partner would stand at 517: nothing there
  Put(b, 300);  // a pair inside the skipped frame
  Put(b, 717);
  EXPECT_EQ(StartOf(dir, b), 300);
}

TEST(FindStartOfAudio, SearchBeginsElevenBytesBeforeTheEndOfTheId3v2Tag) {
  TempFolder dir;
  Bytes b = Filler(3000);
  b[0] = 'I'; b[1] = 'D'; b[2] = '3'; b[3] = 3; b[4] = 0; b[5] = 0;
  b[6] = 0; b[7] = 0; b[8] = 2; b[9] = 0;  // size 256: the search begins at offset 255
  Put(b, 200);  // a pair inside the tag is not seen
  Put(b, 617);
  Put(b, 255);
  Put(b, 672);
  ByteFile f(dir.Write("tagged.mp3", b));
  EXPECT_EQ(AudioSearchStart(f), 256);
  EXPECT_EQ(FindStartOfAudio(f), 255);

  // The size bytes are combined without masking their top bits.
  b[6] = 0; b[7] = 0; b[8] = 0x80; b[9] = 0x01;
  ByteFile g(dir.Write("unmasked.mp3", b));
  EXPECT_EQ(AudioSearchStart(g), (0x80 << 7) | 1);

  // A size of 0 starts at the beginning of the file rather than before it.
  b = Filler(2000);
  b[0] = 'I'; b[1] = 'D'; b[2] = '3';
  b[6] = b[7] = b[8] = b[9] = 0;
  Put(b, 40);
  Put(b, 457);
  EXPECT_EQ(StartOf(dir, b), 40);

  b[0] = 'i';  // not a tag: search from the start
  ByteFile h(dir.Write("lower.mp3", b));
  EXPECT_EQ(AudioSearchStart(h), 1);
}

TEST(FindStartOfAudio, StopsWhenFewerThan129BytesFollowTheRejectedOffset) {
  TempFolder dir;
  // Frames of 49 bytes let a pair fit into the last 133 bytes.
  Bytes b = Filler(1000);
  Put(b, 1000 - 132, kShortMpeg2Header);
  Put(b, 1000 - 132 + 49, kShortMpeg2Header);
  EXPECT_EQ(StartOf(dir, b), 1000 - 132);

  b = Filler(1000);
  Put(b, 1000 - 131, kShortMpeg2Header);
  Put(b, 1000 - 131 + 49, kShortMpeg2Header);
  EXPECT_EQ(StartOf(dir, b), -1);

  EXPECT_EQ(StartOf(dir, Bytes{}), -1);
  EXPECT_EQ(StartOf(dir, Bytes{0xFF, 0xFB}), -1);
}

TEST(FindStartOfAudio, PairsAcrossTheReadBlocksAreFound) {
  TempFolder dir;
  Bytes b = Filler(200000);
  const std::size_t r = 64 * 1024 - 2;  // the header straddles the first block's end
  Put(b, r);
  Put(b, r + 417);
  EXPECT_EQ(StartOf(dir, b), static_cast<std::int64_t>(r));
}

TEST(FindEndOfAudio, LooksBackAt80002Offsets) {
  TempFolder dir;
  const std::size_t L = 90000;
  Bytes b = Filler(L);
  Put(b, L - 80005);
  EXPECT_EQ(EndOf(dir, b), static_cast<std::int64_t>(L - 80000));

  b = Filler(L);
  Put(b, L - 80006);
  EXPECT_EQ(EndOf(dir, b), -1);

  b = Filler(L);
  Put(b, L - 80005);
  Put(b, L - 4);  // the last header wins
  EXPECT_EQ(EndOf(dir, b), static_cast<std::int64_t>(L + 1));

  b = Filler(500);  // shorter than the reach: down to offset 0
  Put(b, 0);
  EXPECT_EQ(EndOf(dir, b), 5);
  EXPECT_EQ(EndOf(dir, Bytes{0xFF, 0xFB, 0x90}), -1);
}

}  // namespace
}  // namespace qn
