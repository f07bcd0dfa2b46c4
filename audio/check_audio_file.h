#pragma once
// The per-file audio check: one MP3 or FLAC file against the fingerprint field of its checksum
// entry. Opens the file for reading only.
#include <cstdint>
#include <string>

namespace qn {

class ByteFile;

// The two ID3 options, read by the caller at the moment the file is checked.
struct Id3Options {
  bool id3v1 = true;
  bool id3v2 = true;
};

// The audio check result: an MP3 result code digit possibly followed by " ID3v1 ..."/" ID3v2 ..."
// texts, a four-character FLAC flag text, or the empty text for any other file name. The extension
// is compared without regard to letter case.
// Throws StepError for a malformed fingerprint field, an unreadable file, a negative block offset.
std::string CheckAudioFile(const std::string& path, const std::string& fingerprint, Id3Options options);

// Sum of the byte values at offsets offset .. offset + 254 (missing bytes count as zero).
std::uint32_t BlockSum255(ByteFile& file, std::int64_t offset);
// Hexadecimal text of the sum of the byte values; "0" for an empty block.
std::string HexByteSum(const std::uint8_t* data, std::size_t n);
// The last four digits of "0000" + hexadecimal text of the sum.
std::string FourDigitHex(std::uint32_t sum);

}  // namespace qn
