#include "engine/checksum_file.h"

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access.h"

namespace qn {

ChecksumFile::ChecksumFile(const std::string& path)
    : path_(path), bytes_(platform::read_regular_file(path, kMaxChecksumFileSize)) {
  if (bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
  if (bytes_.find('\r') == std::string::npos && bytes_.find('\n') != std::string::npos) line_end_ = '\n';
}

std::string ChecksumFile::read_line() {
  if (at_end()) throw StepError(62, "Input past end of file: " + path_);
  std::size_t end = bytes_.find(line_end_, pos_);
  std::string line;
  if (end == std::string::npos) {
    line = bytes_.substr(pos_);
    pos_ = bytes_.size();
  } else {
    line = bytes_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (line_end_ == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') ++pos_;
  }
  // Once most of the file is read, what was read goes: a file of one huge line is not held twice.
  if (pos_ > (1u << 20) && pos_ > bytes_.size() / 2) {
    bytes_.erase(0, pos_);
    bytes_.shrink_to_fit();
    pos_ = 0;
  }
  for (char& c : line)
    if (c == '\\') c = kSep;
  return line;
}

}  // namespace qn
