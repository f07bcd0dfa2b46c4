#pragma once
// An audio or image file opened for reading bytes at any position. Reads go through large
// buffered blocks; bytes past the end of the file read as zero. Never writes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qn {

class ByteFile {
 public:
  // Opens for reading; throws StepError (errno and its text, and the path) when it cannot.
  explicit ByteFile(const std::string& path);
  ~ByteFile();
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  const std::string& path() const { return path_; }
  std::int64_t length() const { return length_; }

  // n bytes from offset on; bytes past the end are zero. A negative offset throws StepError.
  std::vector<std::uint8_t> ReadAt(std::int64_t offset, std::size_t n);
  // The same into a caller's buffer.
  void ReadAt(std::int64_t offset, std::uint8_t* out, std::size_t n);

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  std::int64_t length_ = 0;
};

}  // namespace qn
