#include <gtest/gtest.h>

#include <cctype>

#include "audio/check_audio_file.h"
#include "audio/track_fingerprint.h"
#include "audio_fixture.h"
#include "base/step_error.h"
#include "platform/byte_file.h"

namespace qn {
namespace {

using namespace test;

constexpr ID3Options kNoId3{false, false};

// An MP3-like file: filler, a confirmed pair of frames at `start`, more frames every 417 bytes.
Bytes mp3_like(std::size_t length, std::size_t start) {
  Bytes b = filler(length);
  for (std::size_t at = start; at + 4 <= length && at < start + 5 * 417; at += 417) put(b, at);
  return b;
}

// The five-part fingerprint of b as recorded with start of audio s and ID3v1 sum part v1.
std::string five(const Bytes& b, std::size_t s, std::uint64_t v1) {
  std::size_t L = b.size();
  std::size_t tail = v1 > 0 ? 128 : 0;
  return hex(sum(b, 0, s)) + "Z" + hex(v1) + "Z" + hex(L - s - tail) + "Z" + hex(s) + "Z" +
         four(sum(b, s, 255)) + four(sum(b, L - 383, 255));
}

TEST(CheckMp3, MatchingFivePartEntryGivesCodeZero) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 300);
  std::string path = dir.write("a.mp3", b);
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, 0), kNoId3), "0");
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, 0), {true, true}), "0 ID3v1 OK ID3v2 OK");
  // Parts beyond the sixth select the five-part form and are not read.
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, 0) + "ZxZy", kNoId3), "0");
}

TEST(CheckMp3, FirstFrameAtOffsetZeroCountsFromOffsetOne) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 0);
  std::string path = dir.write("zero.mp3", b);
  EXPECT_EQ(CheckAudioFile(path, five(b, 1, 0), kNoId3), "0");
  EXPECT_EQ(CheckAudioFile(path, five(b, 0, 0), kNoId3), "1");
}

TEST(CheckMp3, CodePrecedence) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 300);
  std::string path = dir.write("a.mp3", b);
  const std::string good_start = four(sum(b, 300, 255));
  const std::string good_end = four(sum(b, 5000 - 383, 255));
  const std::string head = hex(sum(b, 0, 300)) + "Z0Z";
  const std::string len = hex(4700), bad_len = hex(4701);
  EXPECT_EQ(CheckAudioFile(path, head + len + "Z12CZ" + good_start + good_end, kNoId3), "0");
  EXPECT_EQ(CheckAudioFile(path, head + len + "Z12CZ" + "0000" + good_end, kNoId3), "3");
  EXPECT_EQ(CheckAudioFile(path, head + len + "Z12CZ" + good_start + "0000", kNoId3), "4");
  EXPECT_EQ(CheckAudioFile(path, head + len + "Z12CZ00000000", kNoId3), "4");
  // A wrong length wins whatever the blocks hold, and the ID3 checks still run.
  EXPECT_EQ(CheckAudioFile(path, head + bad_len + "Z12CZ00000000", kNoId3), "1");
  EXPECT_EQ(CheckAudioFile(path, head + bad_len + "Z12CZ00000000", {false, true}), "1 ID3v2 OK");
  // Block sums compare as text: lower-case digits differ; a short value 4 differs.
  std::string lower = good_start + good_end;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_NE(lower, good_start + good_end) << "the fixture sums need a letter digit";
  EXPECT_NE(CheckAudioFile(path, head + len + "Z12CZ" + lower, kNoId3), "0");
  EXPECT_EQ(CheckAudioFile(path, head + len + "Z12CZ" + good_start, kNoId3), "4");
}

TEST(CheckMp3, Id3v1TagFollowsTheEntryNotTheFile) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 300);
  b[5000 - 128] = 'T'; b[5000 - 127] = 'A'; b[5000 - 126] = 'G';
  const std::uint64_t tag = sum(b, 5000 - 128, 128);
  std::string path = dir.write("tag.mp3", b);
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, tag), {true, false}), "0 ID3v1 OK");
  // Value 1 = 0: the length keeps the 128 bytes and the tag sum no longer matches.
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, 0), {true, false}), "0 ID3v1 Fails");
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, tag), {false, true}), "0 ID3v2 OK");

  b[5000 - 128] = 't'; b[5000 - 127] = 'a'; b[5000 - 126] = 'g';
  path = dir.write("lower.mp3", b);
  EXPECT_EQ(CheckAudioFile(path, five(b, 300, 0), {true, true}), "0 ID3v1 OK ID3v2 OK");
}

TEST(CheckMp3, Id3v2RegionIsTakenFromTheEntry) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 300);
  std::string path = dir.write("a.mp3", b);
  const std::string tail = "Z" + four(sum(b, 300, 255)) + four(sum(b, 5000 - 383, 255));
  // Recorded start 0: empty region, sum "0"; the length still follows the measured start.
  EXPECT_EQ(CheckAudioFile(path, "0Z0Z" + hex(4700) + "Z0" + tail, {false, true}), "0 ID3v2 OK");
  EXPECT_EQ(CheckAudioFile(path, hex(sum(b, 0, 300)) + "Z0Z" + hex(4700) + "Z0" + tail, {false, true}),
            "0 ID3v2 Fails");
  // A region longer than everything in front of the audio fails unread, even when its number
  // names the sum of the whole file.
  EXPECT_EQ(CheckAudioFile(path, hex(sum(b, 0, 5000)) + "Z0Z" + hex(4700) + "ZFFFFFFFFFF" + tail,
                           {false, true}),
            "0 ID3v2 Fails");
}

TEST(CheckMp3, SixPartEntriesMeasureToTheLastHeader) {
  TempFolder dir;
  const std::size_t L = 90000;
  Bytes b = mp3_like(L, 300);
  put(b, L - 80005);
  std::string path = dir.write("six.mp3", b);
  const std::size_t e = L - 80000;
  std::string fp = "0Z0Z0Z" + hex(300) + "Z" + four(sum(b, 300, 255)) + four(sum(b, e - 255, 255)) + "Z" +
                   hex(e);  // value 5 - value 3 = E - S
  // The expected length is value 5 - value 3, so value 2 is not read as the length.
  EXPECT_EQ(CheckAudioFile(path, fp, {false, false}), "0");
  EXPECT_EQ(CheckAudioFile(path, fp, {true, false}), "0 ID3v1 OK");

  b[L - 80005] = 0;
  put(b, L - 80006);
  path = dir.write("six_far.mp3", b);
  EXPECT_EQ(CheckAudioFile(path, fp, {true, true}), "6");
}

TEST(CheckMp3, NoStartOfAudioIsCodeFiveWithoutId3Texts) {
  TempFolder dir;
  std::string path = dir.write("none.mp3", filler(3000));
  EXPECT_EQ(CheckAudioFile(path, "0Z0Z0Z0Z00000000", {true, true}), "5");
}

TEST(CheckMp3, MalformedFieldsAndShortFilesRaiseStepErrors) {
  TempFolder dir;
  Bytes b = mp3_like(5000, 300);
  std::string path = dir.write("bad.mp3", b);
  auto error_of = [&](const std::string& fp) -> StepError {
    try {
      CheckAudioFile(path, fp, kNoId3);
    } catch (const StepError& e) {
      return e;
    }
    ADD_FAILURE() << "no error for " << fp;
    return StepError(0, "");
  };
  StepError few = error_of("1Z2Z3Z4");
  EXPECT_EQ(few.number(), kErrSubscript);
  EXPECT_NE(std::string(few.what()).find(path), std::string::npos);
  EXPECT_EQ(error_of("").number(), kErrSubscript);
  StepError bad = error_of("0Z0Z12G4Z12CZ00000000");
  EXPECT_EQ(bad.number(), kErrTypeMismatch);
  EXPECT_NE(std::string(bad.what()).find("Value 2"), std::string::npos);
  EXPECT_NE(std::string(bad.what()).find(path), std::string::npos);
  EXPECT_EQ(error_of("0ZZ10Z12CZ00000000").number(), kErrTypeMismatch);
  EXPECT_EQ(error_of("0Z0Z10Z-1Z00000000").number(), kErrTypeMismatch);
  EXPECT_EQ(error_of("0Z0Z10Z1Z00000000Zx").number(), kErrTypeMismatch);
  // The number is checked even when the file has no audio at all.
  std::string none = dir.write("none.mp3", filler(3000));
  EXPECT_THROW(CheckAudioFile(none, "0ZqZ0Z0Z00000000", kNoId3), StepError);

  // A five-part entry of a file shorter than 383 bytes: the end block would start before it.
  Bytes small = filler(200);
  put(small, 0, kShortMpeg2Header);
  put(small, 49, kShortMpeg2Header);
  std::string short_path = dir.write("short.mp3", small);
  EXPECT_THROW(CheckAudioFile(short_path, "FFZ0Z" + hex(199) + "Z1Z00000000", kNoId3), StepError);
  EXPECT_EQ(CheckAudioFile(short_path, "FFZ0Z" + hex(198) + "Z1Z00000000", {true, true}),
            "1 ID3v1 OK ID3v2 OK");
}


// A field is parsed once, yet its faults surface as the check always gave them: after the file was
// opened, in the order of its values, in the same words; FLAC reads no number but the part count.
TEST(CheckAudioFile, FieldFaultsSurfaceInTheCheckOrderAndWords) {
  TempFolder dir;
  const Bytes b = mp3_like(5000, 300);
  const std::string mp3 = dir.write("a.mp3", b), flac = dir.write("a.Flac", b), other = dir.write("a.txt", b);
  const std::string missing = dir.folder() + "missing.mp3";
  const std::string few = "The fingerprint field \"1Z2Z3Z4\" has 4 parts separated by \"Z\"; at least 5 are needed: ";
  struct Row {
    std::string path, field;
    int number;        // 0: no error
    std::string text;  // the error text before the path, or the result
  };
  const Row rows[] = {
      {mp3, "1Z2Z3Z4", kErrSubscript, few},
      {flac, "1Z2Z3Z4", kErrSubscript, few},
      {mp3, "0ZxZyZ-1Z0Zw", kErrTypeMismatch, "Value 1 of the fingerprint field (\"x\") is not a hexadecimal number: "},
      {mp3, "0Z0Z0Z-1Z0Zw", kErrTypeMismatch, "Value 3 of the fingerprint field (\"-1\") is not a hexadecimal number: "},
      {mp3, "0Z0Z0Z0Z0Zw", kErrTypeMismatch, "Value 5 of the fingerprint field (\"w\") is not a hexadecimal number: "},
      {mp3, "0Z0Z10000000000000000Z0Z0", kErrTypeMismatch,
       "Value 2 of the fingerprint field (\"10000000000000000\") is not a hexadecimal number: "},
      {mp3, "0Z0Z0Z0Z0ZwZ", 0, "1"},  // seven parts: no sixth value is read
      {flac, "xZyZzZ-1Zw", 0, "1111"},
      {other, "1Z2", 0, ""},
      {missing, "1Z2", ENOENT, ""},
  };
  for (const Row& row : rows) {
    for (bool parsed : {false, true}) {
      std::string result;
      int number = 0;
      std::string text;
      try {
        result = parsed ? CheckAudioFile(row.path, TrackFingerprint(row.field), kNoId3) : CheckAudioFile(row.path, row.field, kNoId3);
      } catch (const StepError& e) {
        number = e.number();
        text = e.what();
      }
      EXPECT_EQ(number, row.number) << row.field << " " << row.path;
      if (row.number == 0) {
        EXPECT_EQ(result, row.text) << row.field;
      } else if (row.number != ENOENT) {
        EXPECT_EQ(text, row.text + row.path);
      }
    }
  }
}

#ifndef _WIN32
// The reads that reach the file through the call table, as (offset, size asked).
class RecordedReads {
 public:
  RecordedReads() {
    reads_.clear();
    platform::system_calls().pread = [](int fd, void* b, size_t n, off_t at) {
      reads_.push_back({static_cast<std::int64_t>(at), static_cast<std::int64_t>(n)});
      return platform::real_system_calls().pread(fd, b, n, at);
    };
  }
  ~RecordedReads() { platform::system_calls() = platform::real_system_calls(); }
  RecordedReads(const RecordedReads&) = delete;
  RecordedReads& operator=(const RecordedReads&) = delete;
  static const std::vector<platform::ByteRange>& reads() { return reads_; }

 private:
  static inline std::vector<platform::ByteRange> reads_;
};

// The check reads nothing but the ranges its plan (the read-ahead's plan) names, and in the usual
// case each of them with one read.
TEST(CheckAudioFile, ReadsOnlyWhatItsPlanNamesOncePerRange) {
  TempFolder dir;
  struct Row {
    const char* name;
    std::size_t id3v2_padding;  // 0: no ID3v2 tag
    int frames;
    bool id3v1, six_values;
  };
  const Row rows[] = {
      {"plain.mp3", 0, 60, false, false},     {"plain6.mp3", 0, 60, false, true},
      {"tagged.MP3", 3000, 60, true, false},  {"tagged6.mp3", 3000, 60, true, true},
      {"large_tag.mp3", 70000, 40, true, true}, {"short.mp3", 0, 8, true, true},
      {"track.FLAC", 0, 60, true, false},     {"tiny.flac", 0, 1, false, false},
      {"u001.jpg", 0, 30, false, false},
  };
  for (const Row& row : rows) {
    const std::string path = dir.write(row.name, FakeMp3::Make(row.id3v2_padding, row.frames, row.id3v1).bytes);
    const TrackKind kind = track_kind(path);
    std::string field;
    std::int64_t length = 0;
    {
      platform::ByteFile file(path);
      length = file.length();
      if (kind == TrackKind::kMp3) field = mp3_fingerprint_values(file, row.six_values);
      if (kind == TrackKind::kFlac) field = flac_fingerprint_values(file);
    }
    const TrackFingerprint fingerprint(field);
    const std::vector<platform::ByteRange> plan =
        kind == TrackKind::kOther ? label_image_reads(length) : audio_check_reads(path, fingerprint, length);
    ASSERT_FALSE(plan.empty()) << row.name;
    RecordedReads recorded;
    if (kind == TrackKind::kOther) {
      platform::ByteFile image(path);
      label_image_sum(image);
    } else {
      const std::string result = CheckAudioFile(path, fingerprint, {true, true});
      EXPECT_TRUE(result == "0000" || result == "0 ID3v1 OK ID3v2 OK") << row.name << ": " << result;
    }
    for (const platform::ByteRange& read : RecordedReads::reads()) {
      const std::int64_t end = std::min(read.offset + read.size, length);
      const bool inside = std::any_of(plan.begin(), plan.end(), [&](const platform::ByteRange& r) {
        return read.offset >= r.offset && end <= r.offset + r.size;
      });
      EXPECT_TRUE(inside) << row.name << ": " << read.size << " bytes at " << read.offset;
    }
    EXPECT_EQ(RecordedReads::reads().size(), plan.size()) << row.name;
  }
}
#endif

}  // namespace
}  // namespace qn
