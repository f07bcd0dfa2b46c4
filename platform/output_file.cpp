#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>

#include "base/step_error.h"
#include "platform/wide_text.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qn {

namespace {

namespace fs = std::filesystem;

// What stands at `path` may be replaced: nothing, or (with `replace`) a regular file that is no link.
void check_target(const std::string& path, bool replace) {
  std::error_code ec;
  fs::file_status status = fs::symlink_status(platform::native_path(path), ec);
  if (!fs::exists(status)) return;
  if (fs::is_symlink(status)) throw StepError(kErrRefused, "Not written: the file is a symbolic link: " + path);
  if (!fs::is_regular_file(status)) throw StepError(kErrRefused, "Not written: not a regular file: " + path);
  if (!replace) throw StepError(kErrRefused, "Not written: the file exists (--force replaces it): " + path);
}

}  // namespace

#ifndef _WIN32

namespace {

// Writes every byte to the open file and flushes it to the disk.
bool write_all(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0;
}

// Moves the temporary file to `path` without ever replacing what appeared there meanwhile.
bool move_without_replacing(const std::string& from, const std::string& path) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // A file system without the exclusive rename: a hard link fails as well when `path` exists.
  if (::link(from.c_str(), path.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

void write_or_throw(const std::string& path, const std::string& bytes, bool replace) {
  check_target(path, replace);
  const fs::path target(path);
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  errno = 0;
  int fd = ::mkstemp(temp.data());
  if (fd < 0) throw_io_error("Creating a temporary file beside", path);
  // The new file gets the permissions a newly created file gets, not mkstemp's private ones.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && write_all(fd, bytes);
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok) {
    ok = replace ? ::rename(temp.c_str(), path.c_str()) == 0 : move_without_replacing(temp, path);
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = err;
    if (err == EEXIST) throw StepError(kErrRefused, "Not written: the file exists (--force replaces it): " + path);
    throw_io_error("Writing", path);
  }
}

}  // namespace

#else

namespace {

void write_or_throw(const std::string& path, const std::string& bytes, bool replace) {
  check_target(path, replace);
  const fs::path target = platform::native_path(path);
  std::random_device rd;
  const fs::path temp = target.parent_path() / ("." + target.filename().string() + "." + std::to_string(rd()));
  std::error_code ec;
  errno = 0;
  int fd = ::_wopen(temp.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) throw_io_error("Creating a temporary file beside", path);
  bool ok = true;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    int n = ::_write(fd, bytes.data() + done, static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1 << 20)));
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  if (::_close(fd) != 0) ok = false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name has appeared meanwhile.
  DWORD error = 0;
  if (ok && !::MoveFileExW(temp.c_str(), target.c_str(), (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
    error = ::GetLastError();
  if (!ok || error != 0) {
    fs::remove(temp, ec);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
      throw StepError(kErrRefused, "Not written: the file exists (--force replaces it): " + path);
    throw StepError(kErrFileAccess, "Writing failed: " + path);
  }
}

}  // namespace

#endif

std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes, bool replace) {
  try {
    write_or_throw(path, bytes, replace);
  } catch (const StepError& e) {
    return OutputError{e.number(), e.what()};
  }
  return std::nullopt;
}

bool is_symbolic_link(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(platform::native_path(path), ec));
}

}  // namespace qn
