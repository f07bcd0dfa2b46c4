#include "engine/checksum_file.h"

#include <cerrno>
#include <optional>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access.h"
#include "platform/wide_text.h"

namespace qn {

namespace {

// The checksum file's bytes; a file past the bound is refused before it is read.
std::string checksum_bytes(const std::string& path) {
  std::string bytes;
  if (const std::optional<platform::Error> error = platform::read_regular_file(path, kMaxChecksumFileSize, bytes)) {
    if (error->number != EFBIG) throw platform::step_error(*error);
    throw StepError(kErrFileAccess, "Reading the file failed: it holds " + std::to_string(error->size) +
                                        " bytes, more than the " + std::to_string(kMaxChecksumFileSize) +
                                        " bytes a checksum file may hold: " + path);
  }
  return bytes;
}

}  // namespace

ChecksumFile::ChecksumFile(const std::string& path) : ChecksumFile(path, checksum_bytes(path)) {}

ChecksumFile::ChecksumFile(const std::string& path, std::string bytes) : path_(path), bytes_(std::move(bytes)) {
  if (bytes_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
  if (bytes_.find('\r') == std::string::npos && bytes_.find('\n') != std::string::npos) line_end_ = '\n';
}

std::string ChecksumFile::read_line() {
  if (at_end()) throw StepError(62, "Input past end of file: " + path_);
  std::size_t position = erased_ + pos_;
  std::string line = line_at(position);
  pos_ = position - erased_;
  // Once most of the file is read, what was read goes: a file of one huge line is not held twice.
  if (pos_ > (1u << 20) && pos_ > bytes_.size() / 2) {
    bytes_.erase(0, pos_);
    bytes_.shrink_to_fit();
    erased_ += pos_;
    pos_ = 0;
  }
  return line;
}

std::string ChecksumFile::line_at(std::size_t& position) const {
  if (position < erased_) return {};  // a line already read and let go
  std::size_t at = position - erased_;
  if (at >= bytes_.size()) return {};
  std::size_t end = bytes_.find(line_end_, at);
  std::string line;
  if (end == std::string::npos) {
    line = bytes_.substr(at);
    at = bytes_.size();
  } else {
    line = bytes_.substr(at, end - at);
    at = end + 1;
    if (line_end_ == '\r' && at < bytes_.size() && bytes_[at] == '\n') ++at;
  }
  position = erased_ + at;
  for (char& c : line)
    if (c == '\\') c = kSep;
  return platform::listing_text(std::move(line));
}

}  // namespace qn
