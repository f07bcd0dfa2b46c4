#pragma once
// The byte sums every fingerprint is made of: a 255-byte block at an offset, any block as a
// hexadecimal text, and the four-digit form the checksum lines store.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

// Sum of the byte values at offsets offset .. offset + 254 (missing bytes count as zero).
std::uint32_t BlockSum255(platform::ByteFile& file, std::int64_t offset);
// Hexadecimal text of the sum of the byte values; "0" for an empty block.
std::string HexByteSum(const std::uint8_t* data, std::size_t n);
// The last four digits of "0000" + hexadecimal text of the sum.
std::string FourDigitHex(std::uint32_t sum);

}  // namespace qn
