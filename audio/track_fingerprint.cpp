#include "audio/track_fingerprint.h"

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

std::string hex(std::int64_t value) { return text::hex_text(static_cast<unsigned long long>(value)); }

// A hexadecimal value that fits the signed 64-bit numbers the check computes with.
bool hex_number(std::string_view s, std::int64_t& value) {
  unsigned long long v = 0;
  if (!text::parse_hex(s, v) || v > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()))
    return false;
  value = static_cast<std::int64_t>(v);
  return true;
}

[[noreturn]] void cannot_fingerprint(const std::string& why, const platform::ByteFile& file) {
  throw StepError(kErrInvalidArgument, "No fingerprint: " + why + ": " + file.path());
}

}  // namespace

TrackFingerprint::TrackFingerprint(std::string field) : text_(std::move(field)) {
  std::size_t start = 0;
  for (part_count_ = 1;; ++part_count_) {
    const std::size_t at = text_.find('Z', start);
    const std::size_t end = at == std::string::npos ? text_.size() : at;
    if (part_count_ <= kKeptParts) {
      begin_[part_count_ - 1] = start;
      size_[part_count_ - 1] = end - start;
    }
    if (at == std::string::npos) break;
    start = at + 1;
  }
  if (!hex_number(part(1), listed_length_)) listed_length_ = -1;
  if (part_count_ < 5) {
    error_number_ = kErrSubscript;
    return;
  }
  // The check reads values 1, 2, 3 and then 5 (six parts only); the first bad one is its fault.
  for (int i : {1, 2, 3, 5}) {
    if (i == 5 && !six_values()) break;
    if (!hex_number(part(static_cast<std::size_t>(i)), numbers_[static_cast<std::size_t>(i)])) {
      error_number_ = kErrTypeMismatch;
      error_value_ = i;
      return;
    }
  }
}

std::string_view TrackFingerprint::part(std::size_t i) const {
  if (i >= part_count_ || i >= kKeptParts) return {};
  return std::string_view(text_).substr(begin_[i], size_[i]);
}

void TrackFingerprint::throw_if_unusable(bool flac, const std::string& path) const {
  if (part_count_ < 5) {
    throw StepError(kErrSubscript, "The fingerprint field \"" + text_ + "\" has " + std::to_string(part_count_) +
                                       " parts separated by \"Z\"; at least 5 are needed: " + path);
  }
  if (flac || error_number_ == 0) return;
  const std::size_t i = static_cast<std::size_t>(error_value_);
  throw StepError(kErrTypeMismatch, "Value " + std::to_string(i) + " of the fingerprint field (\"" +
                                        std::string(part(i)) + "\") is not a hexadecimal number: " + path);
}

TrackFingerprint TrackFingerprint::mp3(std::uint64_t id3v2_sum, std::string_view id3v1_sum, std::int64_t audio_length,
                                       std::int64_t start_of_audio, std::uint32_t start_block_sum,
                                       std::uint32_t end_block_sum, std::int64_t end_of_audio) {
  std::string field = text::hex_text(id3v2_sum) + "Z" + std::string(id3v1_sum) + "Z" + hex(audio_length) + "Z" +
                      hex(start_of_audio) + "Z" + FourDigitHex(start_block_sum) + FourDigitHex(end_block_sum);
  if (end_of_audio >= 0) {
    field += 'Z';
    field += hex(end_of_audio);
  }
  return TrackFingerprint(std::move(field));
}

TrackFingerprint TrackFingerprint::flac(std::int64_t length, std::string_view first_sum, std::string_view last_sum,
                                        std::string_view middle_sum) {
  return TrackFingerprint("0Z" + hex(length) + "Z" + std::string(first_sum) + "Z" + std::string(last_sum) + "Z" +
                          std::string(middle_sum));
}

TrackFingerprint mp3_fingerprint(platform::ByteFile& file, bool six_values) {
  const std::int64_t length = file.length();
  const std::int64_t start = FindStartOfAudio(file);
  if (start == -1) cannot_fingerprint("no start of audio found", file);

  std::vector<std::uint8_t> tag = ReadID3v1Tag(file);
  const std::int64_t tail = tag.empty() ? 0 : 128;
  // A tag that overlaps the first frames leaves no length of audio that a line could hold.
  if (length - start - tail < 0) cannot_fingerprint("the ID3v1 tag overlaps the start of audio", file);

  const std::uint64_t id3v2_sum = file_head_sum(file, static_cast<std::uint64_t>(start));
  const std::string id3v1_sum = HexByteSum(tag.data(), tag.size());
  const std::uint32_t start_block = BlockSum255(file, start);
  if (!six_values) {
    // The end block of five values ends 128 bytes before the end of the file.
    if (length < 383) cannot_fingerprint("shorter than the 383 bytes that five values need", file);
    return TrackFingerprint::mp3(id3v2_sum, id3v1_sum, length - start - tail, start, start_block,
                                 BlockSum255(file, length - 383), -1);
  }
  const std::int64_t end = FindEndOfAudio(file);
  if (end == -1) cannot_fingerprint("no end of audio within the last 80005 bytes", file);
  if (end < 255) cannot_fingerprint("too short for six values (the end block would begin before the file)", file);
  return TrackFingerprint::mp3(id3v2_sum, id3v1_sum, length - start - tail, start, start_block,
                               BlockSum255(file, end - 255), end);
}

std::string mp3_fingerprint_values(platform::ByteFile& file, bool six_values) { return mp3_fingerprint(file, six_values).text(); }

TrackFingerprint flac_fingerprint(platform::ByteFile& file) {
  const std::int64_t length = file.length();
  if (length < 101) cannot_fingerprint("shorter than the 101 bytes that the last block needs", file);
  // Half the length rounded to the nearest whole number, an exact half to the even neighbour.
  std::int64_t middle = length / 2;
  if (length % 2 != 0 && middle % 2 != 0) ++middle;
  auto block_sum = [&file](std::int64_t offset) {
    std::uint8_t block[100];
    file.read_at(offset, block, sizeof block);
    return HexByteSum(block, sizeof block);
  };
  const std::string first = block_sum(0);
  const std::string last = block_sum(length - 101);
  return TrackFingerprint::flac(length, first, last, block_sum(middle - 1));
}

std::string flac_fingerprint_values(platform::ByteFile& file) { return flac_fingerprint(file).text(); }

}  // namespace qn
