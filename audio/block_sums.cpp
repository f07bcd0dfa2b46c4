#include "audio/block_sums.h"

#include "base/text.h"
#include "platform/byte_file.h"

namespace qn {

std::uint32_t BlockSum255(platform::ByteFile& file, std::int64_t offset) {
  constexpr std::size_t kSize = 255;
  std::uint8_t block[kSize];
  const std::uint8_t* bytes = file.loaded(offset, kSize);
  if (bytes == nullptr) {
    file.read_at(offset, block, kSize);
    bytes = block;
  }
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kSize; ++i) sum += bytes[i];
  return sum;
}

std::string HexByteSum(const std::uint8_t* data, std::size_t n) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += data[i];
  return text::hex_text(sum);
}

std::string FourDigitHex(std::uint32_t sum) { return text::right("0000" + text::hex_text(sum), 4); }

}  // namespace qn
