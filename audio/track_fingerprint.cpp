#include "audio/track_fingerprint.h"

#include <cstdint>
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

[[noreturn]] void cannot_fingerprint(const std::string& why, const ByteFile& file) {
  throw StepError(kErrInvalidArgument, "No fingerprint: " + why + ": " + file.path());
}

}  // namespace

std::string mp3_fingerprint_values(ByteFile& file, bool six_values) {
  const std::int64_t length = file.length();
  const std::int64_t start = FindStartOfAudio(file);
  if (start == -1) cannot_fingerprint("no start of audio found", file);

  std::vector<std::uint8_t> tag = ReadID3v1Tag(file);
  const std::int64_t tail = tag.empty() ? 0 : 128;
  // A tag that overlaps the first frames leaves no length of audio that a line could hold.
  if (length - start - tail < 0) cannot_fingerprint("the ID3v1 tag overlaps the start of audio", file);

  std::string values = text::hex_text(file_head_sum(file, static_cast<std::uint64_t>(start))) + "Z" +
                       HexByteSum(tag.data(), tag.size()) + "Z" + hex(length - start - tail) + "Z" +
                       hex(start) + "Z" + FourDigitHex(BlockSum255(file, start));
  if (!six_values) {
    // The end block of five values ends 128 bytes before the end of the file.
    if (length < 383) cannot_fingerprint("shorter than the 383 bytes that five values need", file);
    return values + FourDigitHex(BlockSum255(file, length - 383));
  }
  const std::int64_t end = FindEndOfAudio(file);
  if (end == -1) cannot_fingerprint("no end of audio within the last 80005 bytes", file);
  if (end < 255) cannot_fingerprint("too short for six values (the end block would begin before the file)", file);
  return values + FourDigitHex(BlockSum255(file, end - 255)) + "Z" + hex(end);
}

std::string flac_fingerprint_values(ByteFile& file) {
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
  return "0Z" + hex(length) + "Z" + block_sum(0) + "Z" + block_sum(length - 101) + "Z" + block_sum(middle - 1);
}

}  // namespace qn
