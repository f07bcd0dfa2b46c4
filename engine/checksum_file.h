#pragma once
// A checksum file read line by line. A line ends at CR or CR LF; a lone LF is an ordinary
// character. A file that holds LF but no CR at all (saved by a Unix editor) has LF line ends
// instead, and a UTF-8 byte-order mark at its start is skipped. Every "\" of a line becomes the
// native separator as the line is read.
#include <cstdint>
#include <string>

namespace qn {

// No checksum file is larger: a folder of a thousand tracks needs some hundred kilobytes.
inline constexpr std::uint64_t kMaxChecksumFileSize = 64ull << 20;

class ChecksumFile {
 public:
  // Reads the whole file (held once); throws StepError (errno text and path) when it cannot be
  // opened, is not a regular file, or is larger than kMaxChecksumFileSize.
  explicit ChecksumFile(const std::string& path);

  // The next line. Reading at the end of the file (an empty file's first read) throws StepError.
  std::string read_line();
  // True once every byte has been consumed, so a trailing empty line is read as one more entry.
  bool at_end() const { return pos_ >= bytes_.size(); }

 private:
  std::string path_;
  std::string bytes_;
  std::size_t pos_ = 0;
  char line_end_ = '\r';
};

}  // namespace qn
