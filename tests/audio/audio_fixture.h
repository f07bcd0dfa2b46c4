#pragma once
// Byte-level fixtures for the audio tests: files written into a private temporary folder, frame
// headers placed at chosen offsets, and sums taken independently of the code under test.
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace qn::test {

using Bytes = std::vector<std::uint8_t>;

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, no padding: frames of 417 bytes.
inline constexpr std::array<std::uint8_t, 4> kMpeg1Header = {0xFF, 0xFB, 0x90, 0x00};
// MPEG-2 Layer III, 8 kbit/s, 24000 Hz: a frame length of 49 bytes (pad always 1).
inline constexpr std::array<std::uint8_t, 4> kShortMpeg2Header = {0xFF, 0xF3, 0x14, 0x00};


inline void put(Bytes& b, std::size_t at, const std::array<std::uint8_t, 4>& header = kMpeg1Header) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = header[i];
}

// Bytes that can never hold a sync pattern (no 0xFF), varied so that sums say something.
inline Bytes filler(std::size_t n, unsigned seed = 7) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 31 + seed) % 200 + 1);
  return b;
}

// Sum of the n bytes from offset on; bytes past the end count as zero.
inline std::uint64_t sum(const Bytes& b, std::size_t offset, std::size_t n) {
  std::uint64_t s = 0;
  for (std::size_t i = offset; i < offset + n && i < b.size(); ++i) s += b[i];
  return s;
}

inline std::string hex(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
  return buf;
}

inline std::string four(std::uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04llX", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace qn::test
