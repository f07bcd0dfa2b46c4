#include "platform/byte_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/step_error.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace qn {

#ifdef _WIN32

ByteFile::ByteFile(const std::string& path) : path_(path) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw_io_error("Opening the file", path);
  errno = 0;
  if (_fseeki64(f, 0, SEEK_END) != 0 || (length_ = _ftelli64(f)) < 0) {
    std::fclose(f);
    throw_io_error("Taking the length of the file", path);
  }
  file_ = f;
}

ByteFile::~ByteFile() {
  if (file_) std::fclose(static_cast<std::FILE*>(file_));
}

std::size_t ByteFile::read_direct(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  std::FILE* f = static_cast<std::FILE*>(file_);
  errno = 0;
  if (_fseeki64(f, offset, SEEK_SET) != 0) throw_io_error("Seeking in the file", path_);
  std::size_t got = std::fread(out, 1, n, f);
  if (got < n && std::ferror(f)) {
    std::clearerr(f);
    throw_io_error("Reading the file", path_);
  }
  std::clearerr(f);
  return got;
}

std::size_t ByteFile::read_cached(std::int64_t, std::uint8_t*, std::size_t) { return 0; }

#else

ByteFile::ByteFile(const std::string& path) : path_(path) {
  errno = 0;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw_io_error("Opening the file", path);
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (errno == 0) errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    int err = errno;
    ::close(fd_);
    fd_ = -1;
    errno = err;
    throw_io_error("Opening the file", path);
  }
  length_ = static_cast<std::int64_t>(st.st_size);
  // Only advice: without it the system's read-ahead reads far more than the few blocks a check needs.
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
}

ByteFile::~ByteFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t ByteFile::read_direct(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    errno = 0;
    ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw_io_error("Reading the file", path_);
    }
    if (r == 0) break;  // a file that shrank under us reads as zero past its new end
    got += static_cast<std::size_t>(r);
  }
  return got;
}

std::size_t ByteFile::read_cached(std::int64_t offset, std::uint8_t* out, std::size_t n) {
#if defined(__linux__) && defined(RWF_NOWAIT)
  iovec piece{out, n};
  ssize_t r = ::preadv2(fd_, &piece, 1, static_cast<off_t>(offset), RWF_NOWAIT);
  return r > 0 ? static_cast<std::size_t>(r) : 0;
#else
  (void)offset, (void)out, (void)n;
  return 0;
#endif
}

#endif

std::vector<std::uint8_t> ByteFile::read_at(std::int64_t offset, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  read_at(offset, out.data(), n);
  return out;
}

// The block is placed so that it holds the wanted bytes and as much of the file around them as
// fits: a block near the end of the file ends at the file's end.
void ByteFile::fill_block(Block& block, std::int64_t offset) {
  if (!block.bytes) block.bytes.reset(new std::uint8_t[kBlockSize]);
  std::int64_t start = std::min<std::int64_t>(offset, length_ - static_cast<std::int64_t>(kBlockSize));
  start = std::max<std::int64_t>(start, 0);
  std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(length_ - start, kBlockSize));
  block.size = 0;  // a failed read leaves no stale block behind
  block.size = read_direct(start, block.bytes.get(), want);
  block.start = start;
}

void ByteFile::read_at(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset < 0) {
    throw StepError(kErrInvalidArgument, "Reading " + std::to_string(n) + " bytes at the negative offset " +
                                             std::to_string(offset) + ": " + path_);
  }
  if (n == 0) return;
  std::size_t present = 0;
  if (offset < length_) present = static_cast<std::size_t>(std::min<std::int64_t>(length_ - offset, n));
  if (present > 0 && present <= kBlockSize) {
    Block& block = blocks_[offset < length_ / 2 ? 0 : 1];
    const std::int64_t end = offset + static_cast<std::int64_t>(present);
    if (offset < block.start || end > block.start + static_cast<std::int64_t>(block.size)) fill_block(block, offset);
    std::size_t from_block = static_cast<std::size_t>(
        std::clamp<std::int64_t>(block.start + static_cast<std::int64_t>(block.size) - offset, 0, present));
    std::memcpy(out, block.bytes.get() + (offset - block.start), from_block);
    present = from_block;
  } else if (present > 0) {
    present = read_direct(offset, out, present);
  }
  if (present < n) std::memset(out + present, 0, n - present);
}

}  // namespace qn
