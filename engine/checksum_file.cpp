#include "engine/checksum_file.h"

#include <cerrno>
#include <cstdio>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_handle.h"

namespace qn {

std::string read_whole_file(const std::string& path) {
  errno = 0;
  FileHandle f(path, "rb");
  if (!f) throw_io_error("Opening the file", path);
  std::string bytes;
  char block[1 << 16];
  for (;;) {
    std::size_t got = std::fread(block, 1, sizeof block, f.get());
    bytes.append(block, got);
    if (got < sizeof block) break;
  }
  bool failed = std::ferror(f.get()) != 0;
  if (failed) throw_io_error("Reading the file", path);
  return bytes;
}

ChecksumFile::ChecksumFile(const std::string& path) : path_(path), bytes_(read_whole_file(path)) {}

std::string ChecksumFile::read_line() {
  if (at_end()) throw StepError(62, "Input past end of file: " + path_);
  return line_at(pos_);
}

std::string ChecksumFile::line_at(std::size_t& position) const {
  if (position >= bytes_.size()) return {};
  std::size_t end = bytes_.find('\r', position);
  std::string line;
  if (end == std::string::npos) {
    line = bytes_.substr(position);
    position = bytes_.size();
  } else {
    line = bytes_.substr(position, end - position);
    position = end + 1;
    if (position < bytes_.size() && bytes_[position] == '\n') ++position;
  }
  return to_native_separators(line);
}

}  // namespace qn
