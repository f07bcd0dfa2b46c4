#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
#include <utility>

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
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace qn {

namespace {

namespace fs = std::filesystem;
using platform::system_calls;

// A failed write on its way out of the steps below.
struct Failure {
  OutputError error;
};

[[noreturn]] void refuse(const std::string& reason, const std::string& path, bool kept_file = false) {
  throw Failure{{kErrRefused, "Not written: " + reason + ": " + path, reason, kept_file}};
}

// A failed system call: errno as it was, or one of ours when it was not set.
OutputError call_failure(const char* what, int err, const std::string& path) {
  const std::string reason = err != 0 ? std::string(std::strerror(err)) : std::string("the system gave no reason");
  return {err != 0 ? err : kErrFileAccess, std::string(what) + " failed: " + reason + ": " + path, reason, false};
}

[[noreturn]] void fail(const char* what, int err, const std::string& path) {
  throw Failure{call_failure(what, err, path)};
}

enum class AtName { kNothing, kFile, kLink, kOther };

struct NameState {
  AtName kind = AtName::kNothing;
  platform::FileIdentity identity;
};

// The name's own rules: at the start, whatever stands there; just before the rename, only whether
// it has become one of the kept files (a link that appeared meanwhile is replaced, harmlessly).
void check_name(const NameState& at, const OutputRules& rules, const std::string& path, bool start) {
  if (at.kind == AtName::kNothing) return;
  if (std::find(rules.kept.begin(), rules.kept.end(), at.identity) != rules.kept.end())
    refuse("it would replace a file that the run reads", path, true);
  if (!start) return;
  if (at.kind == AtName::kLink && rules.refuse_links) refuse("the file is a symbolic link", path);
  if (at.kind == AtName::kOther) refuse("not a regular file", path);
  if (!rules.replace) refuse("the file exists (--force replaces it)", path);
}

// The last component of `path` (after either separator on Windows), and what comes before it.
struct SplitPath {
  std::string folder;  // with its separator; empty for the current folder
  std::string name;
};

SplitPath split(const std::string& path) {
#ifdef _WIN32
  const std::size_t at = path.find_last_of("/\\");
#else
  const std::size_t at = path.rfind('/');
#endif
  if (at == std::string::npos) return {"", path};
  return {path.substr(0, at + 1), path.substr(at + 1)};
}

// A name beside `name` that no one else picks: a dot, a piece of the name (whole characters, short
// enough to stay within the longest name), a dot and random hex digits.
std::string temporary_name(const std::string& name) {
  static std::random_device device;
  static std::mt19937_64 numbers(device());
  std::size_t cut = std::min<std::size_t>(name.size(), 64);
  while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(numbers()));
  return "." + name.substr(0, cut) + "." + digits;
}

}  // namespace

#ifndef _WIN32

namespace {

NameState look_at(int dir, const std::string& name, const std::string& path) {
  struct stat st {};
  errno = 0;
  if (system_calls().fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};
    fail("Writing", errno, path);
  }
  NameState at;
  at.kind = S_ISLNK(st.st_mode) ? AtName::kLink : S_ISREG(st.st_mode) ? AtName::kFile : AtName::kOther;
  at.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return at;
}

bool write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = system_calls().write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Moves the finished file to the name, over what stands there or only where nothing does.
bool move_into_place(int dir, const std::string& temp, const std::string& name, bool replace) {
  if (system_calls().renameat(dir, temp.c_str(), dir, name.c_str(), !replace) == 0) return true;
  if (replace || (errno != EINVAL && errno != ENOSYS)) return false;
  // A file system without the exclusive rename: a hard link fails as well when the name exists.
  if (system_calls().linkat(dir, temp.c_str(), dir, name.c_str(), 0) != 0) return false;
  system_calls().unlinkat(dir, temp.c_str(), 0);
  return true;
}

// Closes a descriptor, keeping errno.
void close_quietly(int& fd) {
  if (fd < 0) return;
  const int err = errno;
  system_calls().close(std::exchange(fd, -1));
  errno = err;
}

}  // namespace

NewFileInPlace::NewFileInPlace(const std::string& path, const OutputRules& rules) : path_(path), rules_(rules) {
  try {
    const SplitPath parts = split(path);
    name_ = parts.name;
    if (name_.empty() || name_ == "." || name_ == "..") refuse("not a file name", path);
    errno = 0;
    // The folder is the one the user named, links and all; everything after happens inside it.
    const std::string folder = parts.folder.empty() ? std::string(".") : parts.folder;
    folder_ = system_calls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folder_ < 0) fail("Opening the folder of", errno, path);
    check_name(look_at(folder_, name_, path), rules_, path, true);
    for (int attempt = 0; file_ < 0 && attempt < 16; ++attempt) {
      temp_ = temporary_name(name_);
      errno = 0;
      file_ = system_calls().openat(folder_, temp_.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
      if (file_ < 0 && errno != EEXIST) break;
    }
    if (file_ < 0) {
      temp_.clear();
      fail("Creating a temporary file beside", errno, path);
    }
  } catch (const Failure& failure) {
    error_ = failure.error;
    discard();
  }
}

bool NewFileInPlace::append(std::string_view bytes) {
  if (error_ || committed_) return false;
  if (write_all(file_, bytes)) return true;
  error_ = call_failure("Writing", errno, path_);
  discard();
  return false;
}

std::optional<OutputError> NewFileInPlace::commit() {
  if (error_ || committed_) return error_;
  try {
    errno = 0;
    if (system_calls().fsync(file_) != 0) fail("Writing", errno, path_);
    errno = 0;
    if (system_calls().close(std::exchange(file_, -1)) != 0) fail("Writing", errno, path_);
    check_name(look_at(folder_, name_, path_), rules_, path_, false);
    errno = 0;
    if (!move_into_place(folder_, temp_, name_, rules_.replace)) {
      if (errno == EEXIST) refuse("the file exists (--force replaces it)", path_);
      fail("Writing", errno, path_);
    }
  } catch (const Failure& failure) {
    error_ = failure.error;
    discard();
    return error_;
  }
  committed_ = true;
  // The new name itself reaches the disk with the folder.
  system_calls().fsync(folder_);
  close_quietly(folder_);
  return std::nullopt;
}

void NewFileInPlace::discard() {
  close_quietly(file_);
  if (!temp_.empty() && folder_ >= 0) system_calls().unlinkat(folder_, temp_.c_str(), 0);
  temp_.clear();
  close_quietly(folder_);
}


ScratchFile::ScratchFile(const std::string& folder) {
  errno = 0;
  int dir = system_calls().open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  for (int attempt = 0; dir >= 0 && file_ < 0 && attempt < 16; ++attempt) {
    const std::string name = temporary_name("scratch");
    file_ = system_calls().openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    // Held by its descriptor alone from here on.
    if (file_ >= 0) system_calls().unlinkat(dir, name.c_str(), 0);
    else if (errno != EEXIST) break;
  }
  close_quietly(dir);
  failed_ = file_ < 0;
}

ScratchFile::~ScratchFile() { close_quietly(file_); }

bool ScratchFile::append(std::string_view bytes) {
  if (failed_) return false;
  if (!write_all(file_, bytes)) {
    failed_ = true;
    return false;
  }
  size_ += bytes.size();
  return true;
}

bool ScratchFile::read_back(const std::function<bool(std::string_view)>& take) {
  if (file_ < 0) return size_ == 0;
  failed_ = true;
  std::string piece(std::min<std::uint64_t>(size_, 1 << 20), '\0');
  for (std::uint64_t done = 0; done < size_;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - done, piece.size()));
    const ssize_t n = system_calls().pread(file_, piece.data(), want, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || !take(std::string_view(piece.data(), static_cast<std::size_t>(n)))) return false;
    done += static_cast<std::uint64_t>(n);
  }
  return true;
}

#else

namespace {

NameState look_at(const std::string& path, const OutputRules& rules) {
  const unsigned long a = system_calls().attributes(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return {};
  NameState at;
  at.kind = (a & FILE_ATTRIBUTE_REPARSE_POINT) ? AtName::kLink
            : (a & FILE_ATTRIBUTE_DIRECTORY)   ? AtName::kOther
                                               : AtName::kFile;
  unsigned long long volume = 0, index = 0;
  if (!rules.kept.empty() && system_calls().identity(path.c_str(), &volume, &index) == 0) at.identity = {volume, index};
  return at;
}

bool write_all(int fd, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const int n = system_calls().write(fd, bytes.data() + done,
                                       static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30)));
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

NewFileInPlace::NewFileInPlace(const std::string& path, const OutputRules& rules) : path_(path), rules_(rules) {
  try {
    const SplitPath parts = split(path);
    name_ = parts.name;
    if (name_.empty() || name_ == "." || name_ == "..") refuse("not a file name", path);
    if (platform::names_windows_device(name_)) refuse("a reserved device name", path);
    check_name(look_at(path, rules_), rules_, path, true);
    // Created in the same folder, exclusively and without following a reparse point.
    for (int attempt = 0; file_ < 0 && attempt < 16; ++attempt) {
      temp_ = parts.folder + temporary_name(name_);
      errno = 0;
      file_ = system_calls().create_new(temp_.c_str());
      if (file_ < 0 && errno != EEXIST) break;
    }
    if (file_ < 0) {
      temp_.clear();
      fail("Creating a temporary file beside", errno, path);
    }
  } catch (const Failure& failure) {
    error_ = failure.error;
    discard();
  }
}

bool NewFileInPlace::append(std::string_view bytes) {
  if (error_ || committed_) return false;
  if (write_all(file_, bytes)) return true;
  error_ = call_failure("Writing", errno, path_);
  discard();
  return false;
}

std::optional<OutputError> NewFileInPlace::commit() {
  if (error_ || committed_) return error_;
  try {
    errno = 0;
    const bool flushed = system_calls().fsync(file_) == 0;
    const int err = errno;
    errno = 0;
    const bool closed = system_calls().close(std::exchange(file_, -1)) == 0;
    if (!flushed || !closed) fail("Writing", flushed ? errno : err, path_);
    check_name(look_at(path_, rules_), rules_, path_, false);
    errno = 0;
    // MoveFileExW replaces a reparse point at the name itself; it never writes through it.
    const int moved = rules_.replace ? system_calls().rename(temp_.c_str(), path_.c_str())
                                     : system_calls().rename_new(temp_.c_str(), path_.c_str());
    if (moved != 0) {
      if (errno == EEXIST) refuse("the file exists (--force replaces it)", path_);
      fail("Writing", errno, path_);
    }
  } catch (const Failure& failure) {
    error_ = failure.error;
    discard();
    return error_;
  }
  committed_ = true;
  return std::nullopt;
}

void NewFileInPlace::discard() {
  if (file_ >= 0) system_calls().close(std::exchange(file_, -1));
  if (!temp_.empty()) system_calls().remove(temp_.c_str());
  temp_.clear();
}


ScratchFile::ScratchFile(const std::string& folder) {
  // Nobody else can open, rename or remove the file while it is held (no sharing).
  for (int attempt = 0; file_ < 0 && attempt < 16; ++attempt) {
    path_ = folder + temporary_name("scratch");
    errno = 0;
    file_ = system_calls().create_new(path_.c_str());
    if (file_ < 0 && errno != EEXIST) break;
  }
  if (file_ < 0) path_.clear();
  failed_ = file_ < 0;
}

ScratchFile::~ScratchFile() {
  if (file_ >= 0) system_calls().close(file_);
  if (!path_.empty()) system_calls().remove(path_.c_str());
}

bool ScratchFile::append(std::string_view bytes) {
  if (failed_) return false;
  if (!write_all(file_, bytes)) {
    failed_ = true;
    return false;
  }
  size_ += bytes.size();
  return true;
}

bool ScratchFile::read_back(const std::function<bool(std::string_view)>& take) {
  if (path_.empty()) return size_ == 0;
  failed_ = true;
  // The descriptor writes only: the file is read through a new one, as a regular file.
  if (file_ >= 0) system_calls().close(std::exchange(file_, -1));
  std::optional<platform::Error> error;
  platform::ReadableFile file(path_, error);
  if (error || static_cast<std::uint64_t>(file.length()) < size_) return false;
  std::string piece(std::min<std::uint64_t>(size_, 1 << 20), '\0');
  for (std::uint64_t done = 0; done < size_;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - done, piece.size()));
    std::size_t n = 0;
    if (file.read(static_cast<std::int64_t>(done), piece.data(), want, n) || n == 0 ||
        !take(std::string_view(piece.data(), n)))
      return false;
    done += n;
  }
  return true;
}

#endif

NewFileInPlace::~NewFileInPlace() {
  if (!committed_) discard();
}

std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules) {
  NewFileInPlace file(path, rules);
  file.append(bytes);
  return file.commit();
}

bool is_symbolic_link(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(platform::native_path(path), ec));
}

}  // namespace qn
