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
  // The checksum file `path` whose bytes were read already (at most kMaxChecksumFileSize).
  ChecksumFile(const std::string& path, std::string bytes);

  // The next line. Reading at the end of the file (an empty file's first read) throws StepError.
  std::string read_line();
  // True once every byte has been consumed, so a trailing empty line is read as one more entry.
  bool at_end() const { return pos_ >= bytes_.size(); }

  // Looking ahead without reading: the position of the next line, and the line at `position`
  // (moving `position` past it; the empty text at the end).
  std::size_t position() const { return erased_ + pos_; }
  std::size_t size() const { return erased_ + bytes_.size(); }
  std::string line_at(std::size_t& position) const;

 private:
  std::string path_;
  std::string bytes_;
  std::size_t pos_ = 0;
  std::size_t erased_ = 0;  // bytes let go from the front: positions count from the file's start
  char line_end_ = '\r';
};

}  // namespace qn
