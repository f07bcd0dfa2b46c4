#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
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
[[noreturn]] void fail(const char* what, int err, const std::string& path) {
  const std::string reason = err != 0 ? std::string(std::strerror(err)) : std::string("the system gave no reason");
  throw Failure{{err != 0 ? err : kErrFileAccess, std::string(what) + " failed: " + reason + ": " + path, reason, false}};
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

// Closes a descriptor on every way out, keeping errno.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ < 0) return;
    const int err = errno;
    system_calls().close(fd_);
    errno = err;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

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

bool write_all(int fd, const std::string& bytes) {
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

void write_or_throw(const std::string& path, const std::string& bytes, const OutputRules& rules) {
  const SplitPath parts = split(path);
  if (parts.name.empty() || parts.name == "." || parts.name == "..") refuse("not a file name", path);
  errno = 0;
  // The folder is the one the user named, links and all; everything after happens inside it.
  const std::string folder = parts.folder.empty() ? std::string(".") : parts.folder;
  Descriptor dir(system_calls().open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (dir.get() < 0) fail("Opening the folder of", errno, path);
  check_name(look_at(dir.get(), parts.name, path), rules, path, true);

  platform::SystemCalls& calls = system_calls();
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temp = temporary_name(parts.name);
    errno = 0;
    fd = calls.openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) fail("Creating a temporary file beside", errno, path);
  Descriptor file(fd);
  try {
    if (!write_all(file.get(), bytes) || system_calls().fsync(file.get()) != 0) fail("Writing", errno, path);
    errno = 0;
    if (system_calls().close(file.release()) != 0) fail("Writing", errno, path);
    check_name(look_at(dir.get(), parts.name, path), rules, path, false);
    errno = 0;
    if (!move_into_place(dir.get(), temp, parts.name, rules.replace)) {
      if (errno == EEXIST) refuse("the file exists (--force replaces it)", path);
      fail("Writing", errno, path);
    }
  } catch (const Failure&) {
    system_calls().unlinkat(dir.get(), temp.c_str(), 0);
    throw;
  }
  // The new name itself reaches the disk with the folder.
  system_calls().fsync(dir.get());
}

}  // namespace

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

bool write_all(int fd, const std::string& bytes) {
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

void write_or_throw(const std::string& path, const std::string& bytes, const OutputRules& rules) {
  const SplitPath parts = split(path);
  if (parts.name.empty() || parts.name == "." || parts.name == "..") refuse("not a file name", path);
  if (platform::names_windows_device(parts.name)) refuse("a reserved device name", path);
  check_name(look_at(path, rules), rules, path, true);

  // Created in the same folder, exclusively and without following a reparse point.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temp = parts.folder + temporary_name(parts.name);
    errno = 0;
    fd = system_calls().create_new(temp.c_str());
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) fail("Creating a temporary file beside", errno, path);
  try {
    const bool written = write_all(fd, bytes) && system_calls().fsync(fd) == 0;
    const int err = errno;
    errno = 0;
    const bool closed = system_calls().close(fd) == 0;
    if (!written || !closed) fail("Writing", written ? errno : err, path);
    check_name(look_at(path, rules), rules, path, false);
    errno = 0;
    // MoveFileExW replaces a reparse point at the name itself; it never writes through it.
    const int moved = rules.replace ? system_calls().rename(temp.c_str(), path.c_str())
                                    : system_calls().rename_new(temp.c_str(), path.c_str());
    if (moved != 0) {
      if (errno == EEXIST) refuse("the file exists (--force replaces it)", path);
      fail("Writing", errno, path);
    }
  } catch (const Failure&) {
    system_calls().remove(temp.c_str());
    throw;
  }
}

}  // namespace

#endif

std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules) {
  try {
    write_or_throw(path, bytes, rules);
  } catch (const Failure& failure) {
    return failure.error;
  }
  return std::nullopt;
}

bool is_symbolic_link(const std::string& path) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(platform::native_path(path), ec));
}

}  // namespace qn
