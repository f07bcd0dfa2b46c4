#include "audio/check_audio_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "audio/audio_search.h"
#include "audio/block_sums.h"
#include "audio/id3_regions.h"
#include "base/text.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

// The first window of the start search and the 255-byte block at the start of audio.
constexpr std::int64_t kStartReach = 4 * 1024 + 255;
// A recorded start of audio beyond this is not loaded beforehand: the field may say anything, and
// the few tracks with larger tags read the rest of the region as they sum it.
constexpr std::int64_t kMostHead = 160 * 1024;
// The tail: the end block, the ID3v1 tag and the first blocks of the end search.
constexpr std::int64_t kTail = static_cast<std::int64_t>(platform::ByteFile::kBlockSize);
constexpr std::int64_t kFlacBlock = 100;

// At most three ranges, in file order, apart.
struct Plan {
  std::array<platform::ByteRange, 3> ranges{};
  std::size_t count = 0;

  // Adds [offset, offset + size) as far as it lies inside the file; ranges come in file order.
  void add(std::int64_t offset, std::int64_t size, std::int64_t length) {
    const std::int64_t from = std::clamp<std::int64_t>(offset, 0, length);
    const std::int64_t to = std::clamp<std::int64_t>(offset + std::max<std::int64_t>(size, 0), from, length);
    if (to <= from) return;
    if (count > 0 && from <= ranges[count - 1].offset + ranges[count - 1].size) {
      platform::ByteRange& last = ranges[count - 1];
      last.size = std::max(last.size, to - last.offset);
    } else {
      ranges[count++] = {from, to - from};
    }
  }
};

// Half the length rounded to the nearest whole number, an exact half to the even neighbour.
std::int64_t flac_middle(std::int64_t length) {
  std::int64_t middle = length / 2;
  if (length % 2 != 0 && middle % 2 != 0) ++middle;
  return middle;
}

// What the check loads before it examines a file: everything it reads when the field is right.
Plan check_plan(TrackKind kind, const TrackFingerprint& fingerprint, std::int64_t length) {
  Plan plan;
  if (length <= 0) return plan;
  if (kind == TrackKind::kMp3 && fingerprint.mp3_usable()) {
    const std::int64_t start = std::min(fingerprint.start_of_audio(), kMostHead);
    plan.add(0, std::clamp<std::int64_t>(start + kStartReach, kTail, kMostHead), length);
    plan.add(length - kTail, kTail, length);
  } else if (kind == TrackKind::kFlac && fingerprint.part_count() >= 5) {
    // The middle block may come before or after the last one in a short file.
    const std::int64_t middle = flac_middle(length) - 1;
    const std::int64_t last = length - 101;
    plan.add(0, kFlacBlock, length);
    plan.add(std::min(middle, last), kFlacBlock, length);
    plan.add(std::max(middle, last), kFlacBlock, length);
  }
  return plan;
}

Plan label_plan(std::int64_t length) {
  Plan plan;
  plan.add(0, 255, length);
  return plan;
}

std::vector<platform::ByteRange> plan_ranges(const Plan& plan) {
  return std::vector<platform::ByteRange>(plan.ranges.begin(), plan.ranges.begin() + static_cast<std::ptrdiff_t>(plan.count));
}

// The four-digit text of a 255-byte sum (FourDigitHex) against characters first..first+3 of a value.
bool block_sum_matches(std::uint32_t sum, std::string_view value, std::size_t first) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const char digits[4] = {kDigits[(sum >> 12) & 0xF], kDigits[(sum >> 8) & 0xF], kDigits[(sum >> 4) & 0xF],
                          kDigits[sum & 0xF]};
  return first < value.size() && value.substr(first, 4) == std::string_view(digits, 4);
}

std::string check_mp3(platform::ByteFile& file, const TrackFingerprint& fingerprint, ID3Options options, AudioCheckFacts& facts) {
  const bool six_parts = fingerprint.six_values();
  const std::int64_t recorded_start = fingerprint.start_of_audio();
  std::int64_t expected = fingerprint.audio_length();
  // Whether the file ends with a tag is taken from the entry, not from the file.
  const std::int64_t tail = fingerprint.tag_sum() > 0 ? 128 : 0;

  const std::int64_t start = FindStartOfAudio(file);
  if (start == -1) return "5";
  std::int64_t measured = file.length() - start - tail;
  std::int64_t end = -1;
  if (six_parts) {
    expected = fingerprint.end_of_audio() - recorded_start;
    end = FindEndOfAudio(file);
    if (end == -1) return "6";
    measured = end - start;
  }

  facts.measured_length = measured;
  facts.expected_length = expected;
  char code = '0';
  if (measured != expected) {
    code = '1';
  } else {
    if (!block_sum_matches(BlockSum255(file, start), fingerprint.part(4), 0)) code = '3';
    // The five-part form sums the 255 bytes that end 128 bytes before the end, tag or not.
    const std::int64_t end_block = six_parts ? end - 255 : file.length() - 383;
    if (!block_sum_matches(BlockSum255(file, end_block), fingerprint.part(4), 4)) code = '4';
  }

  std::string result;
  result.reserve(24);
  result += code;
  if (options.id3v1) result += check_id3v1(file, fingerprint.part(1));
  if (options.id3v2) {
    result += check_id3v2(file, static_cast<std::uint64_t>(recorded_start), id3v2_region_reach(file, start),
                          fingerprint.part(0));
  }
  return result;
}

bool block_hex_sum_matches(platform::ByteFile& file, std::int64_t offset, std::string_view value) {
  std::uint8_t copy[kFlacBlock];
  const std::uint8_t* block = offset >= 0 ? file.loaded(offset, sizeof copy) : nullptr;
  if (block == nullptr) {
    file.read_at(offset, copy, sizeof copy);  // also past the end (zeros) and for a negative offset (throws)
    block = copy;
  }
  return HexByteSum(block, sizeof copy) == value;
}

std::string check_flac(platform::ByteFile& file, const TrackFingerprint& fingerprint, AudioCheckFacts& facts) {
  const std::int64_t length = file.length();
  facts.measured_length = length;
  facts.expected_length = fingerprint.listed_length();
  const std::int64_t middle = flac_middle(length);

  std::string flags(4, '1');
  if (text::hex_text(static_cast<unsigned long long>(length)) == fingerprint.part(1)) flags[0] = '0';
  if (block_hex_sum_matches(file, 0, fingerprint.part(2))) flags[1] = '0';
  if (block_hex_sum_matches(file, length - 101, fingerprint.part(3))) flags[2] = '0';
  if (block_hex_sum_matches(file, middle - 1, fingerprint.part(4))) flags[3] = '0';
  return flags;
}

}  // namespace

TrackKind track_kind(std::string_view path) {
  auto ends_with = [path](std::string_view extension) {
    return path.size() >= extension.size() && text::iequals(path.substr(path.size() - extension.size()), extension);
  };
  if (ends_with(".mp3")) return TrackKind::kMp3;
  if (ends_with(".flac")) return TrackKind::kFlac;
  return TrackKind::kOther;
}

std::vector<platform::ByteRange> audio_check_reads(const std::string& path, const TrackFingerprint& fingerprint,
                                         std::int64_t length) {
  return plan_ranges(check_plan(track_kind(path), fingerprint, length));
}

std::vector<platform::ByteRange> audio_check_reads(const std::string& path, const std::string& fingerprint, std::int64_t length) {
  return audio_check_reads(path, TrackFingerprint(fingerprint), length);
}

std::string CheckAudioFile(const std::string& path, const std::string& fingerprint, ID3Options options,
                           AudioCheckFacts* facts) {
  return CheckAudioFile(path, TrackFingerprint(fingerprint), options, facts);
}

std::string CheckAudioFile(const std::string& path, const TrackFingerprint& fingerprint, ID3Options options,
                           AudioCheckFacts* facts) {
  if (facts) *facts = {};
  // The file is opened first: an unopenable file reports that, whatever its field says.
  platform::ByteFile file(path);
  return CheckAudioFile(file, fingerprint, options, facts);
}

std::string CheckAudioFile(platform::ByteFile& file, const std::string& fingerprint, ID3Options options,
                           AudioCheckFacts* facts) {
  return CheckAudioFile(file, TrackFingerprint(fingerprint), options, facts);
}

std::string CheckAudioFile(platform::ByteFile& file, const TrackFingerprint& fingerprint, ID3Options options,
                           AudioCheckFacts* facts) {
  AudioCheckFacts unused;
  AudioCheckFacts& out = facts ? *facts : unused;
  out = {};
  out.stamp = file.stamp();
  const std::string& path = file.path();
  const TrackKind kind = track_kind(path);
  if (kind == TrackKind::kOther) return {};
  fingerprint.throw_if_unusable(kind == TrackKind::kFlac, path);
  // Not kept per thread: the Windows thread library does not run the destructors of thread-local
  // objects reliably at thread exit. The file points into it until it is unloaded.
  std::vector<std::uint8_t> buffer;
  struct Unload {
    platform::ByteFile& file;
    ~Unload() { file.unload(); }
  } unload{file};
  const Plan plan = check_plan(kind, fingerprint, file.length());
  file.load(plan.ranges.data(), plan.count, buffer);
  return kind == TrackKind::kMp3 ? check_mp3(file, fingerprint, options, out) : check_flac(file, fingerprint, out);
}

std::vector<platform::ByteRange> label_image_reads(std::int64_t length) { return plan_ranges(label_plan(length)); }

std::string label_image_sum(platform::ByteFile& image) {
  const Plan plan = label_plan(image.length());
  std::vector<std::uint8_t> buffer;
  image.load(plan.ranges.data(), plan.count, buffer);
  const std::uint32_t sum = BlockSum255(image, 0);
  image.unload();
  return FourDigitHex(sum);
}

}  // namespace qn
