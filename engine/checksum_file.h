#pragma once
// A checksum file read line by line. A line ends at CR or CR LF; a lone LF is an ordinary
// character. Every "\" of a line becomes the native separator as the line is read.
#include <string>

namespace qn {

class ChecksumFile {
 public:
  // Reads the whole file; throws StepError (errno text and path) when it cannot be opened.
  explicit ChecksumFile(const std::string& path);

  // The next line. Reading at the end of the file (an empty file's first read) throws StepError.
  std::string read_line();
  // True once every byte has been consumed, so a trailing empty line is read as one more entry.
  bool at_end() const { return pos_ >= bytes_.size(); }

  // Looking ahead without reading: the position of the next line, and the line at `position`
  // (moving `position` past it; the empty text at the end).
  std::size_t position() const { return pos_; }
  std::size_t size() const { return bytes_.size(); }
  std::string line_at(std::size_t& position) const;

 private:
  std::string path_;
  std::string bytes_;
  std::size_t pos_ = 0;
};

// The whole content of a file as bytes; throws StepError when it cannot be read.
std::string read_whole_file(const std::string& path);

}  // namespace qn
