#include "audio/audio_search.h"

#include <gtest/gtest.h>

#include "audio/track_fingerprint.h"
#include "audio_fixture.h"
#include "platform/byte_file.h"

namespace qn {
namespace {

using namespace test;

std::int64_t start_of(const TempFolder& dir, const Bytes& b) {
  platform::ByteFile f(dir.write("start.mp3", b));
  return FindStartOfAudio(f);
}

std::int64_t end_of(const TempFolder& dir, const Bytes& b) {
  platform::ByteFile f(dir.write("end.mp3", b));
  return FindEndOfAudio(f);
}

TEST(FindStartOfAudio, ConfirmedPairGivesTheFirstOffsetAndOffsetZeroGivesOne) {
  TempFolder dir;
  Bytes b = filler(2000);
  put(b, 0);
  put(b, 417);
  EXPECT_EQ(start_of(dir, b), 1);

  b = filler(2000);
  put(b, 100);
  put(b, 517);
  EXPECT_EQ(start_of(dir, b), 100);

  // The confirming header one byte off the frame length does not count.
  b = filler(2000);
  put(b, 100);
  put(b, 518);
  EXPECT_EQ(start_of(dir, b), -1);
}

TEST(FindStartOfAudio, UnconfirmedCandidateResumesOneByteLater) {
  TempFolder dir;
  Bytes b = filler(3000);
  put(b, 100);  // its partner would stand at 517: nothing there
  put(b, 300);  // a pair inside the skipped frame
  put(b, 717);
  EXPECT_EQ(start_of(dir, b), 300);
}

TEST(FindStartOfAudio, SearchBeginsElevenBytesBeforeTheEndOfTheId3v2Tag) {
  TempFolder dir;
  Bytes b = filler(3000);
  b[0] = 'I'; b[1] = 'D'; b[2] = '3'; b[3] = 3; b[4] = 0; b[5] = 0;
  b[6] = 0; b[7] = 0; b[8] = 2; b[9] = 0;  // size 256: the search begins at offset 255
  put(b, 200);  // a pair inside the tag is not seen
  put(b, 617);
  put(b, 255);
  put(b, 672);
  platform::ByteFile f(dir.write("tagged.mp3", b));
  EXPECT_EQ(AudioSearchStart(f), 256);
  EXPECT_EQ(FindStartOfAudio(f), 255);

  // The size bytes are combined without masking their top bits.
  b[6] = 0; b[7] = 0; b[8] = 0x80; b[9] = 0x01;
  platform::ByteFile g(dir.write("unmasked.mp3", b));
  EXPECT_EQ(AudioSearchStart(g), (0x80 << 7) | 1);

  // A size of 0 starts at the beginning of the file rather than before it.
  b = filler(2000);
  b[0] = 'I'; b[1] = 'D'; b[2] = '3';
  b[6] = b[7] = b[8] = b[9] = 0;
  put(b, 40);
  put(b, 457);
  EXPECT_EQ(start_of(dir, b), 40);

  b[0] = 'i';  // not a tag: search from the start
  platform::ByteFile h(dir.write("lower.mp3", b));
  EXPECT_EQ(AudioSearchStart(h), 1);
}

TEST(FindStartOfAudio, StopsWhenFewerThan129BytesFollowTheRejectedOffset) {
  TempFolder dir;
  // Frames of 49 bytes let a pair fit into the last 133 bytes.
  Bytes b = filler(1000);
  put(b, 1000 - 132, kShortMpeg2Header);
  put(b, 1000 - 132 + 49, kShortMpeg2Header);
  EXPECT_EQ(start_of(dir, b), 1000 - 132);

  b = filler(1000);
  put(b, 1000 - 131, kShortMpeg2Header);
  put(b, 1000 - 131 + 49, kShortMpeg2Header);
  EXPECT_EQ(start_of(dir, b), -1);

  EXPECT_EQ(start_of(dir, Bytes{}), -1);
  EXPECT_EQ(start_of(dir, Bytes{0xFF, 0xFB}), -1);
}

TEST(FindStartOfAudio, PairsAcrossTheReadBlocksAreFound) {
  TempFolder dir;
  Bytes b = filler(200000);
  const std::size_t r = 64 * 1024 - 2;  // the header straddles the first block's end
  put(b, r);
  put(b, r + 417);
  EXPECT_EQ(start_of(dir, b), static_cast<std::int64_t>(r));
}

TEST(FindEndOfAudio, LooksBackAt80002Offsets) {
  TempFolder dir;
  const std::size_t L = 90000;
  Bytes b = filler(L);
  put(b, L - 80005);
  EXPECT_EQ(end_of(dir, b), static_cast<std::int64_t>(L - 80000));

  b = filler(L);
  put(b, L - 80006);
  EXPECT_EQ(end_of(dir, b), -1);

  b = filler(L);
  put(b, L - 80005);
  put(b, L - 4);  // the last header wins
  EXPECT_EQ(end_of(dir, b), static_cast<std::int64_t>(L + 1));

  b = filler(500);  // shorter than the reach: down to offset 0
  put(b, 0);
  EXPECT_EQ(end_of(dir, b), 5);
  EXPECT_EQ(end_of(dir, Bytes{0xFF, 0xFB, 0x90}), -1);
}

#ifndef _WIN32
TEST(FindStartOfAudio, HolesAreSkippedUnreadWithTheSameResults) {
  // 64 MiB of zeros, in one row with a pair of frames 2000 bytes before the end. Each file is
  // searched and fingerprinted once with the hole map and once without (every byte read).
  constexpr std::int64_t L = std::int64_t{64} << 20;
  Bytes pair(421, 0);
  put(pair, 0);
  put(pair, 417);
  struct Row {
    const char* what;
    Bytes data;
    std::int64_t start, end;
  };
  const Row rows[] = {
      {"zeros only", {}, -1, -1},
      {"a pair near the end", pair, L - 2000, L - 2000 + 417 + 5},
  };
  TempFolder dir;
  for (const Row& row : rows) {
    const std::string path = write_sparse(dir, "sparse.mp3", L, L - 2000, row.data);
    struct Seen {
      std::int64_t start, end;
      std::string fingerprint;
      std::uint64_t bytes;
      int seeks;
    };
    auto search = [&](std::int64_t data_from) {
      CountedReads counted(L, data_from);
      platform::ByteFile f(path);
      Seen seen{FindStartOfAudio(f), FindEndOfAudio(f), {}, 0, 0};
      if (seen.start != -1) seen.fingerprint = mp3_fingerprint_values(f, true);  // sums the hole too
      seen.bytes = CountedReads::bytes();
      seen.seeks = CountedReads::seeks();
      return seen;
    };
    const Seen holes = search(L - 4096);
    const Seen plain = search(-1);
    EXPECT_EQ(holes.start, row.start) << row.what;
    EXPECT_EQ(holes.end, row.end) << row.what;
    EXPECT_EQ(plain.start, row.start) << row.what;
    EXPECT_EQ(plain.end, row.end) << row.what;
    EXPECT_EQ(holes.fingerprint, plain.fingerprint) << row.what;
    EXPECT_GT(holes.seeks, 0) << row.what;
    EXPECT_LT(holes.bytes, 256u * 1024) << row.what;
    EXPECT_GT(plain.bytes, static_cast<std::uint64_t>(L - 4096)) << row.what;
  }
}
#endif

}  // namespace
}  // namespace qn
