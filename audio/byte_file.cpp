#include "audio/byte_file.h"

#include <cerrno>
#include <cstring>

#include "engine/step_error.h"

namespace qn {

namespace {

// 64-bit seeks and positions: long is 32 bits on Windows.
int seek64(std::FILE* f, std::int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, offset, whence);
#else
  return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

std::int64_t tell64(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<std::int64_t>(ftello(f));
#endif
}

}  // namespace

ByteFile::ByteFile(const std::string& path) : path_(path) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) throw_io_error("Opening the file", path);
  errno = 0;
  if (seek64(file_, 0, SEEK_END) != 0) {
    std::fclose(file_);
    file_ = nullptr;
    throw_io_error("Taking the length of the file", path);
  }
  length_ = tell64(file_);
  if (length_ < 0) {
    std::fclose(file_);
    file_ = nullptr;
    throw_io_error("Taking the length of the file", path);
  }
}

ByteFile::~ByteFile() {
  if (file_) std::fclose(file_);
}

std::vector<std::uint8_t> ByteFile::ReadAt(std::int64_t offset, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  ReadAt(offset, out.data(), n);
  return out;
}

void ByteFile::ReadAt(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset < 0) {
    throw StepError(kErrInvalidArgument, "Reading " + std::to_string(n) + " bytes at the negative offset " +
                                             std::to_string(offset) + ": " + path_);
  }
  if (n == 0) return;
  std::size_t present = 0;
  if (offset < length_) {
    std::int64_t left = length_ - offset;
    present = static_cast<std::uint64_t>(left) < n ? static_cast<std::size_t>(left) : n;
  }
  if (present > 0) {
    errno = 0;
    if (seek64(file_, offset, SEEK_SET) != 0) throw_io_error("Seeking in the file", path_);
    std::size_t got = std::fread(out, 1, present, file_);
    if (got < present) {
      // A file that shrank under us reads as zero past its new end; a real error is reported.
      if (std::ferror(file_)) {
        std::clearerr(file_);
        throw_io_error("Reading the file", path_);
      }
      std::clearerr(file_);
      present = got;
    }
  }
  if (present < n) std::memset(out + present, 0, n - present);
}

}  // namespace qn
