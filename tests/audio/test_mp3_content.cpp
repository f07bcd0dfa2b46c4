// The deep check of MP3 files made by lame (tests/data/audio/make_fixtures.sh), as they come and
// with the damage a collection meets, and of hostile byte layouts.
#include <gtest/gtest.h>

#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/audio_fixture.h"
#include "audio/content_check.h"
#include "audio/zero_tail_source.h"

namespace qn {
namespace {

using test::Bytes;

ContentVerdict check(const Bytes& b) {
  MemoryContentSource source(b.data(), b.size());
  return check_mp3_content(source);
}

// The 48 kHz fixtures at 128 kbit/s: frames of 144 * 128000 / 48000 = 384 bytes, never padded.
constexpr std::int64_t kFrame = 384;

TEST(Mp3Content, LameFilesPassTheChecksTheyCarry) {
  struct Case {
    const char* file;
    ContentStatus status;
    const char* method;
    const char* detail;
  };
  // Frame counts, music lengths and CRCs as lame wrote them; the music CRC covers the frames
  // after the Info frame up to the music length counted from the Info frame's first byte.
  const Case cases[] = {
      {"deep_tagged.mp3", ContentStatus::kOk, "music CRC", "22 frames; music CRC over bytes 533..8980"},
      {"deep_retagged.mp3", ContentStatus::kOk, "music CRC", "22 frames; music CRC over bytes 1664..10111"},
      {"deep_protected.mp3", ContentStatus::kOk, "music CRC and frame CRCs",
       "22 frames; music CRC over bytes 384..8831; 23 frame CRCs"},
      {"deep_vbr_mono.mp3", ContentStatus::kOk, "music CRC", "41 frames; music CRC over bytes 208..1950"},
      {"deep_no_info.mp3", ContentStatus::kUnchecked, "frame walk", "no check in the file; the frame walk passed (22 frames)"},
      // 144-byte frames have no room for an Info frame.
      {"tone_tagged.mp3", ContentStatus::kUnchecked, "frame walk", "no check in the file; the frame walk passed (29 frames)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const ContentVerdict v = check(test::read_audio_fixture(c.file));
    EXPECT_EQ(v.status, c.status);
    EXPECT_EQ(v.method, c.method);
    EXPECT_EQ(v.detail, c.detail);
    EXPECT_EQ(v.offset, -1);
  }
}

TEST(Mp3Content, DamageIsFoundAndPlaced) {
  const Bytes tagged = test::read_audio_fixture("deep_tagged.mp3");      // ID3v2 of 149 bytes, 23 frames, ID3v1
  const Bytes plain = test::read_audio_fixture("deep_protected.mp3");    // 23 protected frames from byte 0, no tags
  constexpr std::int64_t kFirst = 149;
  const auto frame_at = [](std::int64_t first, int n) { return first + (n - 1) * kFrame; };
  struct Case {
    const char* what;
    const Bytes* base;
    std::function<void(Bytes&)> damage;
    ContentStatus status;
    const char* method;
    std::string detail;
    std::int64_t offset, frame;
  };
  const std::string kCrc = "music CRC mismatch over bytes 533..8980: stored 1EF2, computed ";
  const Case cases[] = {
      {"a byte of the first audio frame", &tagged, [&](Bytes& b) { b[frame_at(kFirst, 2) + 100] ^= 0x10; },
       ContentStatus::kFail, "music CRC", kCrc, -1, -1},
      {"a byte in the middle", &tagged, [&](Bytes& b) { b[frame_at(kFirst, 12) + 200] ^= 0x01; },
       ContentStatus::kFail, "music CRC", kCrc, -1, -1},
      {"the last byte of the music", &tagged, [&](Bytes& b) { b[b.size() - 129] ^= 0x80; },
       ContentStatus::kFail, "music CRC", kCrc, -1, -1},
      {"a byte of the Info frame", &tagged, [&](Bytes& b) { b[kFirst + 60] ^= 0x04; },
       ContentStatus::kFail, "Info frame", "the Info frame's own CRC does not match: the frame is damaged", kFirst, 1},
      {"a frame header wiped", &tagged, [&](Bytes& b) { b[frame_at(kFirst, 10)] = 0; },
       ContentStatus::kFail, "frame walk", "frame 10 at byte 3605: no frame header; the frames resume at byte 3989",
       3605, 10},
      {"a frame cut out", &tagged,
       [&](Bytes& b) { b.erase(b.begin() + frame_at(kFirst, 10), b.begin() + frame_at(kFirst, 11)); },
       ContentStatus::kFail, "frame walk",
       "the frames end at byte 8597, but the Info frame puts the end of the music at byte 8981 (384 bytes missing)",
       8597, 23},
      {"bytes inserted", &tagged, [&](Bytes& b) { b.insert(b.begin() + frame_at(kFirst, 10), {1, 2, 3, 4, 5}); },
       ContentStatus::kFail, "frame walk", "frame 10 at byte 3605: no frame header; the frames resume at byte 3610",
       3605, 10},
      // Only the ID3v1 tag loses bytes: the music is whole, the rest of the tag trails it.
      {"three bytes off a tagged file", &tagged, [](Bytes& b) { b.resize(b.size() - 3); },
       ContentStatus::kOk, "music CRC", "22 frames; music CRC over bytes 533..8980; 125 bytes after the last frame", -1, -1},
      {"three bytes off", &plain, [](Bytes& b) { b.resize(b.size() - 3); },
       ContentStatus::kFail, "frame walk", "frame 23 at byte 8448 is cut short: 381 of 384 bytes", 8448, 23},
      {"half a frame off", &plain, [](Bytes& b) { b.resize(b.size() - kFrame / 2); },
       ContentStatus::kFail, "frame walk", "frame 23 at byte 8448 is cut short: 192 of 384 bytes", 8448, 23},
      // Side information of frame 5 starts after its 4 header and 2 CRC bytes.
      {"a side-information byte", &plain, [&](Bytes& b) { b[frame_at(0, 5) + 10] ^= 0x20; },
       ContentStatus::kFail, "frame CRC", "frame 5 at byte 1536: frame CRC mismatch", 1536, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes b = *c.base;
    c.damage(b);
    const ContentVerdict v = check(b);
    EXPECT_EQ(v.status, c.status);
    EXPECT_EQ(v.method, c.method);
    EXPECT_EQ(v.detail.substr(0, c.detail.size()), c.detail);
    EXPECT_EQ(v.offset, c.offset);
    EXPECT_EQ(v.frame, c.frame);
  }
}

// Frames of one header and filler without sync bytes.
Bytes frames_of(std::initializer_list<std::uint8_t> header, int length, int count) {
  Bytes b;
  for (int i = 0; i < count; ++i) {
    b.insert(b.end(), header);
    for (int k = 4; k < length; ++k) b.push_back(static_cast<std::uint8_t>(k % 200 + 1));
  }
  return b;
}

TEST(Mp3Content, FrameLengthsOfEachVersionAndLayer) {
  struct Case {
    std::initializer_list<std::uint8_t> header;
    int length;
  };
  const Case cases[] = {
      {{0xFF, 0xFF, 0x18, 0xC0}, 48},    // MPEG-1 Layer I, 32 kbit/s, 32 kHz: 12 * 32000 / 32000 * 4
      {{0xFF, 0xFF, 0x1A, 0xC0}, 52},    // the same padded: one slot of 4 bytes more
      {{0xFF, 0xFD, 0xE4, 0x00}, 1152},  // MPEG-1 Layer II, 384 kbit/s, 48 kHz
      {{0xFF, 0xFB, 0x92, 0x00}, 418},   // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, padded
      {{0xFF, 0xF3, 0x54, 0x00}, 120},   // MPEG-2 Layer III, 40 kbit/s, 24 kHz: 72 * 40000 / 24000
      {{0xFF, 0xE3, 0x18, 0xC0}, 72},    // MPEG-2.5 Layer III, 8 kbit/s, 8 kHz
      {{0xFF, 0xE5, 0xE8, 0xC0}, 2880},  // MPEG-2.5 Layer II, 160 kbit/s, 8 kHz: 144 * 160000 / 8000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const ContentVerdict v = check(frames_of(c.header, c.length, 5));
    EXPECT_EQ(v.status, ContentStatus::kUnchecked);
    EXPECT_EQ(v.detail, "no check in the file; the frame walk passed (5 frames)");
  }
}

using test::ZeroTailSource;

TEST(Mp3Content, HostileLayoutsEndInABoundedVerdict) {
  // MPEG-1 Layer III stereo, 128 kbit/s, 44.1 kHz: 417-byte frames, 32 bytes of side information.
  const std::initializer_list<std::uint8_t> kHeader = {0xFF, 0xFB, 0x90, 0x00};
  {
    SCOPED_TRACE("a Xing frame counting 2^32 - 1 frames");
    Bytes b = frames_of(kHeader, 417, 5);
    const std::uint8_t xing[] = {'X', 'i', 'n', 'g', 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(xing), std::end(xing), b.begin() + 36);
    const ContentVerdict v = check(b);
    EXPECT_EQ(v.status, ContentStatus::kFail);
    EXPECT_EQ(v.detail, "the Info frame counts 4294967295 frames after it; the walk found 4");
  }
  {
    SCOPED_TRACE("free format");
    const ContentVerdict v = check(frames_of({0xFF, 0xFB, 0x00, 0x00}, 417, 5));
    EXPECT_EQ(v.status, ContentStatus::kUnsupported);
    EXPECT_EQ(v.offset, 0);
  }
  {
    SCOPED_TRACE("all zero");
    const ContentVerdict v = check(Bytes(200000, 0));
    EXPECT_EQ(v.status, ContentStatus::kFail);
    EXPECT_EQ(v.detail, "no MPEG audio frame found");
    EXPECT_EQ(v.offset, 0);
  }
  {
    SCOPED_TRACE("an ID3v2 tag larger than the file");
    Bytes b = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    const Bytes frames = frames_of(kHeader, 417, 3);
    b.insert(b.end(), frames.begin(), frames.end());
    const ContentVerdict v = check(b);
    EXPECT_EQ(v.status, ContentStatus::kFail);
    EXPECT_EQ(v.offset, 0);
  }
  {
    SCOPED_TRACE("a 100 GB file of zeros after ten frames");
    ZeroTailSource source(frames_of(kHeader, 417, 10), std::int64_t{100} << 30);
    const ContentVerdict v = check_mp3_content(source);
    EXPECT_EQ(v.status, ContentStatus::kFail);
    EXPECT_EQ(v.offset, 4170);
    EXPECT_EQ(v.frame, 11);
    // The walk gives up within its search for frames that resume, not at the end of the file.
    EXPECT_LT(source.bytes_read, 4u << 20);
  }
}

}  // namespace
}  // namespace qn
