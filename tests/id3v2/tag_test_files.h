#pragma once
// Scratch folders and byte helpers for the tests that write tags into files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "support/fixtures.h"

namespace qn::test {

namespace fs = std::filesystem;

inline std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string fixture_bytes(const std::string& name) {
  return read_bytes(fs::path(QN_TEST_DATA_DIR) / "id3v2" / name);
}

inline std::string synchsafe(std::uint32_t n) {
  return {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
}

inline std::uint32_t synchsafe_at(const std::string& bytes, std::size_t at) {
  std::uint32_t n = 0;
  for (std::size_t i = at; i < at + 4; ++i) n = (n << 7) | (static_cast<unsigned char>(bytes[i]) & 0x7F);
  return n;
}

inline std::string be32(std::uint32_t n) { return {char(n >> 24), char(n >> 16), char(n >> 8), char(n)}; }

inline std::string frame3(const std::string& id, const std::string& content) {
  return id + be32(static_cast<std::uint32_t>(content.size())) + std::string(2, '\0') + content;
}

// A version 3 tag of the given size holding `frames`, zeros after them.
inline std::string tag3_of_size(const std::string& frames, std::uint32_t size) {
  std::string tag = std::string("ID3\x03\x00\x00", 6) + synchsafe(size) + frames;
  tag.resize(10 + size, '\0');
  return tag;
}


}  // namespace qn::test
