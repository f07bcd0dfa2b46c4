// The FLAC deep check on files encoded by flac (tests/data/audio/make_fixtures.sh) and on the damage a
// collector meets. Each expectation was held against `flac -t` on the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_fixture.h"
#include "audio/content_check.h"
#include "audio/zero_tail_source.h"
#include "base/step_error.h"

namespace qn {
namespace {

using test::Bytes;

const std::string kDir = std::string(QN_TEST_DATA_DIR) + "/audio/";

// tone.flac: 10405 bytes, 8000 samples in frames of 1024; STREAMINFO at 8, the padding block's
// header at 86, frame 1 at 346 (its first subframe header at 352), frame 4 at 4205, frame 8 (the last)
// at 9347.
constexpr std::size_t kMd5At = 26;
constexpr std::size_t kTotalSamplesAt = 21;  // 36 bits: the low half of this byte and four more
constexpr std::size_t kPaddingHeaderAt = 86;
constexpr std::size_t kFrame1 = 346, kFrame4 = 4205, kFrame8 = 9347;

ContentVerdict check(const Bytes& bytes) {
  MemoryContentSource source(bytes.data(), bytes.size());
  return check_flac_content(source);
}

TEST(FlacContent, DamageGetsTheVerdictOfTheReferenceTool) {
  const Bytes tone = test::read_audio_fixture("tone.flac");
  ASSERT_EQ(tone.size(), 10405u);
  const Bytes retagged = test::read_audio_fixture("tone_retagged.flac");
  auto changed = [&](std::size_t at) {
    Bytes b = tone;
    b[at] ^= 0x10;
    return b;
  };
  auto with = [&](std::function<void(Bytes&)> edit) {
    Bytes b = tone;
    edit(b);
    return b;
  };
  auto cut = [&](std::size_t length) { return Bytes(tone.begin(), tone.begin() + static_cast<std::ptrdiff_t>(length)); };
  const auto kOk = ContentStatus::kOk;
  const auto kFail = ContentStatus::kFail;
  const std::string kNotFlac = "not a FLAC stream";
  struct Row {
    const char* what;
    Bytes bytes;
    ContentStatus status;
    std::string method, detail;
  } rows[] = {
      {"intact", tone, kOk, "MD5 and frame CRCs", "MD5 of 8000 samples matches"},
      {"retagged by metaflac", retagged, kOk, "MD5 and frame CRCs", "MD5 of 8000 samples matches"},
      // flac -t warns that it cannot check the MD5 and passes it.
      {"MD5 zeroed", with([](Bytes& b) { std::memset(&b[kMd5At], 0, 16); }), kOk, "frame CRCs",
       "the stream carries no MD5 (all zero); every frame CRC matches"},
      {"MD5 changed", changed(kMd5At + 5), kFail, "MD5", "MD5 of the decoded audio differs from the stream's"},
      {"first frame header", changed(kFrame1 + 2), kFail, "frame walk", "frame 1 at byte 346: bad frame header"},
      {"start of the audio", changed(kFrame1 + 20), kFail, "frame CRC", "frame 1 at byte 346: frame CRC mismatch"},
      {"middle of the audio", changed(tone.size() / 2), kFail, "frame CRC", "frame 4 at byte 4205: frame CRC mismatch"},
      // A reserved subframe type may come from a later encoder: flac -t fails it, saying so.
      {"reserved subframe type", with([](Bytes& b) { b[kFrame1 + 6] = 0x04; }), ContentStatus::kUnsupported, "frame walk",
       "frame 1 at byte 346: reserved fields in use (a later encoder or damage); the check cannot follow it"},
      {"last byte (a frame CRC)", changed(tone.size() - 1), kFail, "frame CRC", "frame 8 at byte 9347: frame CRC mismatch"},
      // A cut inside a frame is a lost sync to libFLAC; a cut between frames leaves samples missing.
      {"cut by 3 bytes", cut(tone.size() - 3), kFail, "frame walk", "lost sync at byte 9347 (after frame 7)"},
      {"cut by half a frame", cut(tone.size() - 500), kFail, "frame walk", "lost sync at byte 9347 (after frame 7)"},
      {"cut by whole frames", cut(kFrame4), kFail, "sample count", "the stream ends after 3072 of 8000 samples"},
      {"bytes inserted", with([](Bytes& b) { b.insert(b.begin() + 5000, 7, 0x55); }), kFail, "frame walk",
       "lost sync at byte 4205 (after frame 3)"},
      // flac -t fails trailing bytes too, an ID3v1 tag among them.
      {"ID3v1 tag appended",
       with([](Bytes& b) {
         b.insert(b.end(), {'T', 'A', 'G'});
         b.resize(b.size() + 125, 'x');
       }),
       kFail, "frame walk", "lost sync at byte 10405 (after frame 8)"},
      {"2^36-1 samples claimed",
       with([](Bytes& b) {
         b[kTotalSamplesAt] |= 0x0F;
         std::memset(&b[kTotalSamplesAt + 1], 0xFF, 4);
       }),
       kFail, "sample count", "the stream ends after 8000 of 68719476735 samples"},
      {"huge metadata block", with([](Bytes& b) { std::memset(&b[kPaddingHeaderAt + 1], 0xFF, 3); }), kFail,
       "frame walk", "the stream ends inside its metadata blocks"},
      {"empty", {}, kFail, "frame walk", kNotFlac},
      {"zeros", Bytes(100000, 0), kFail, "frame walk", kNotFlac},
      {"no fLaC marker", Bytes(tone.begin() + 4, tone.end()), kFail, "frame walk", kNotFlac},
      // flac -t passes bare frames with a warning; a file without STREAMINFO is no FLAC file.
      {"frames alone", Bytes(tone.begin() + kFrame1, tone.end()), kFail, "frame walk", kNotFlac},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ContentVerdict v = check(row.bytes);
    EXPECT_EQ(v.status, row.status);
    EXPECT_EQ(v.method, row.method);
    EXPECT_EQ(v.detail, row.detail);
  }
  // Where a frame fails, the verdict carries its number and place for the report.
  const ContentVerdict v = check(changed(kFrame8 + 100));
  EXPECT_EQ(v.frame, 8);
  EXPECT_EQ(v.offset, static_cast<std::int64_t>(kFrame8));
  EXPECT_EQ(check_track_content(kDir + "tone.flac").status, kOk);
}

using test::ZeroTailSource;

TEST(FlacContent, HostileStreamsEndWithinTheFirstMegabytes) {
  const Bytes tone = test::read_audio_fixture("tone.flac");
  Bytes huge_claim(tone.begin(), tone.begin() + kFrame4);
  huge_claim[kTotalSamplesAt] |= 0x0F;
  const std::int64_t k100GB = 100LL << 30;
  for (const Bytes& head : {Bytes{}, Bytes(tone.begin(), tone.begin() + kFrame1), huge_claim}) {
    ZeroTailSource source(head, k100GB);
    EXPECT_EQ(check_flac_content(source).status, ContentStatus::kFail);
    EXPECT_LT(source.bytes_read, 4u << 20);
  }
  // A failed read mid-stream comes out as the source's own error, past libFLAC.
  ZeroTailSource failing(tone, static_cast<std::int64_t>(tone.size()), kFrame4);
  EXPECT_THROW(check_flac_content(failing), StepError);
}

}  // namespace
}  // namespace qn
