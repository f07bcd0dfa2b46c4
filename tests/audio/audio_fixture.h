#pragma once
// Byte-level fixtures for the audio tests: files written into a private temporary folder, frame
// headers placed at chosen offsets, and sums taken independently of the code under test.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "support/fixtures.h"

namespace qn::test {

using Bytes = std::vector<std::uint8_t>;

// A real file of tests/data/audio, whole.
inline Bytes read_audio_fixture(const std::string& name) {
  std::ifstream in(std::string(QN_TEST_DATA_DIR) + "/audio/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

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

// A file of `length` bytes that are zero but for `data` at `at`: a sparse file where the file
// system allows one.
inline std::string write_sparse(const TempFolder& dir, const std::string& name, std::uint64_t length,
                                std::uint64_t at = 0, const Bytes& data = {}) {
  const std::string path = dir.write(name);
  std::filesystem::resize_file(path, length);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(at));
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return path;
}

#ifndef _WIN32
// Counts the bytes read through the call table and answers SEEK_DATA from a map of one hole: the
// file holds data from `data_from` on (-1: the system knows of no hole and reports data anywhere).
// The map must be true of the file, as a file system's would be.
class CountedReads {
 public:
  CountedReads(std::int64_t length, std::int64_t data_from) {
    bytes_ = 0;
    seeks_ = 0;
    length_ = length;
    data_from_ = data_from;
    platform::SystemCalls& calls = platform::system_calls();
    calls.pread = [](int fd, void* b, size_t n, off_t at) {
      const ssize_t got = platform::real_system_calls().pread(fd, b, n, at);
      if (got > 0) bytes_ += static_cast<std::uint64_t>(got);
      return got;
    };
    calls.lseek = [](int, off_t at, int) -> off_t {
      ++seeks_;
      const std::int64_t data = data_from_ < 0 ? at : std::max<std::int64_t>(at, data_from_);
      if (data >= length_) {
        errno = ENXIO;
        return -1;
      }
      return data;
    };
  }
  ~CountedReads() { platform::system_calls() = platform::real_system_calls(); }
  CountedReads(const CountedReads&) = delete;
  CountedReads& operator=(const CountedReads&) = delete;

  static std::uint64_t bytes() { return bytes_; }
  static int seeks() { return seeks_; }

 private:
  static inline std::uint64_t bytes_ = 0;
  static inline int seeks_ = 0;
  static inline std::int64_t length_ = 0;
  static inline std::int64_t data_from_ = -1;
};
#endif

}  // namespace qn::test
