#include "audio/check_audio_file.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "audio/audio_search.h"
#include "audio/block_sums.h"
#include "audio/id3_regions.h"
#include "base/step_error.h"
#include "base/text.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

// The fingerprint field split at "Z"; both file kinds read up to value 4.
std::vector<std::string> split_fingerprint(const std::string& fingerprint, const std::string& path) {
  std::vector<std::string> parts = text::split(fingerprint, "Z");
  if (parts.size() < 5) {
    throw StepError(kErrSubscript, "The fingerprint field \"" + fingerprint + "\" has " +
                                       std::to_string(parts.size()) +
                                       " parts separated by \"Z\"; at least 5 are needed: " + path);
  }
  return parts;
}

std::int64_t hex_part(const std::vector<std::string>& parts, std::size_t index, const std::string& path) {
  unsigned long long value = 0;
  if (!text::parse_hex(parts[index], value) ||
      value > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())) {
    throw StepError(kErrTypeMismatch, "Value " + std::to_string(index) + " of the fingerprint field (\"" +
                                          parts[index] + "\") is not a hexadecimal number: " + path);
  }
  return static_cast<std::int64_t>(value);
}

// Characters first..first+3 (0-based) of value 4; shorter when that value is short.
std::string block_sum_text(const std::string& part4, std::size_t first) {
  if (first >= part4.size()) return {};
  return part4.substr(first, 4);
}

std::string check_mp3(ByteFile& file, const std::string& fingerprint, ID3Options options, AudioCheckFacts& facts) {
  const std::string& path = file.path();
  std::vector<std::string> parts = split_fingerprint(fingerprint, path);
  const bool six_parts = parts.size() == 6;
  // Every number is read before the file is examined, so a malformed field always fails.
  const std::int64_t tag_sum = hex_part(parts, 1, path);
  std::int64_t expected = hex_part(parts, 2, path);
  const std::int64_t recorded_start = hex_part(parts, 3, path);
  const std::int64_t recorded_end = six_parts ? hex_part(parts, 5, path) : 0;
  // Whether the file ends with a tag is taken from the entry, not from the file.
  const std::int64_t tail = tag_sum > 0 ? 128 : 0;

  const std::int64_t start = FindStartOfAudio(file);
  if (start == -1) return "5";
  std::int64_t measured = file.length() - start - tail;
  std::int64_t end = -1;
  if (six_parts) {
    expected = recorded_end - recorded_start;
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
    if (FourDigitHex(BlockSum255(file, start)) != block_sum_text(parts[4], 0)) code = '3';
    // The five-part form sums the 255 bytes that end 128 bytes before the end, tag or not.
    const std::int64_t end_block = six_parts ? end - 255 : file.length() - 383;
    if (FourDigitHex(BlockSum255(file, end_block)) != block_sum_text(parts[4], 4)) code = '4';
  }

  std::string result(1, code);
  if (options.id3v1) result += check_id3v1(file, parts[1]);
  if (options.id3v2) {
    result += check_id3v2(file, static_cast<std::uint64_t>(recorded_start), id3v2_region_reach(file, start), parts[0]);
  }
  return result;
}

std::string block_hex_sum(ByteFile& file, std::int64_t offset, std::size_t n) {
  std::vector<std::uint8_t> block = file.read_at(offset, n);
  return HexByteSum(block.data(), block.size());
}

std::string check_flac(ByteFile& file, const std::string& fingerprint, AudioCheckFacts& facts) {
  std::vector<std::string> parts = split_fingerprint(fingerprint, file.path());
  const std::int64_t length = file.length();
  unsigned long long listed = 0;
  facts.measured_length = length;
  facts.expected_length = text::parse_hex(parts[1], listed) &&
                                  listed <= static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())
                              ? static_cast<std::int64_t>(listed)
                              : -1;
  // Half the length rounded to the nearest whole number, an exact half to the even neighbour.
  std::int64_t middle = length / 2;
  if (length % 2 != 0 && middle % 2 != 0) ++middle;

  std::string flags;
  flags += text::hex_text(static_cast<unsigned long long>(length)) == parts[1] ? '0' : '1';
  flags += block_hex_sum(file, 0, 100) == parts[2] ? '0' : '1';
  flags += block_hex_sum(file, length - 101, 100) == parts[3] ? '0' : '1';
  flags += block_hex_sum(file, middle - 1, 100) == parts[4] ? '0' : '1';
  return flags;
}

// The first window of the start search and the 255-byte block at the start of audio.
constexpr std::int64_t kStartReach = 4 * 1024 + 255;
// A recorded start of audio beyond this is not read ahead (the field may say anything).
constexpr std::int64_t kMostHead = 1024 * 1024;

// The ranges [offset, offset + size) that lie inside the file, in file order, overlaps merged.
std::vector<ByteRange> inside_file(std::vector<ByteRange> ranges, std::int64_t length) {
  std::vector<ByteRange> kept;
  for (ByteRange& r : ranges) {
    r.offset = std::clamp<std::int64_t>(r.offset, 0, length);
    r.size = std::clamp<std::int64_t>(r.size, 0, length - r.offset);
    if (r.size > 0) kept.push_back(r);
  }
  std::sort(kept.begin(), kept.end(), [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
  std::vector<ByteRange> merged;
  for (const ByteRange& r : kept) {
    if (!merged.empty() && r.offset <= merged.back().offset + merged.back().size) {
      ByteRange& last = merged.back();
      last.size = std::max(last.size, r.offset + r.size - last.offset);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

}  // namespace

std::vector<ByteRange> audio_check_reads(const std::string& path, const std::string& fingerprint, std::int64_t length) {
  const std::vector<std::string> parts = text::split(fingerprint, "Z");
  if (parts.size() < 5 || length <= 0) return {};
  const std::int64_t block = static_cast<std::int64_t>(ByteFile::kBlockSize);
  if (text::ends_with(path, ".mp3")) {
    unsigned long long start = 0;
    if (!text::parse_hex(parts[3], start)) return {};
    const std::int64_t head =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(std::min<unsigned long long>(start, kMostHead)) + kStartReach,
                                 block, kMostHead);
    // The end block and the ID3v1 tag; the end search reads backwards from the end a few kilobytes
    // at a time and mostly stops within this block too.
    return inside_file({{0, head}, {length - block, block}}, length);
  }
  if (text::ends_with(path, ".flac")) {
    // The middle block is placed as the block in memory is: ending at the file's end at the latest.
    const std::int64_t middle = std::min(length / 2 - 1, length - block);
    return inside_file({{0, block}, {middle, block}, {length - block, block}}, length);
  }
  return {};
}

std::string CheckAudioFile(const std::string& path, const std::string& fingerprint, ID3Options options,
                           AudioCheckFacts* facts) {
  AudioCheckFacts unused;
  AudioCheckFacts& out = facts ? *facts : unused;
  out = {};
  // The extension decides without regard to letter case: "Track.MP3" is examined like "track.mp3".
  ByteFile file(path);
  out.stamp = file.stamp();
  const std::string lower = text::to_lower(text::right(path, 5));
  if (text::ends_with(lower, ".mp3")) return check_mp3(file, fingerprint, options, out);
  if (text::ends_with(lower, ".flac")) return check_flac(file, fingerprint, out);
  return {};
}

}  // namespace qn
