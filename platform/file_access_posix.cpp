#include "platform/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access_shared.h"

namespace qn::platform {

namespace {

int renameat_real(int from_dir, const char* from, int to_dir, const char* to, bool exclusive) {
  if (!exclusive) return ::renameat(from_dir, from, to_dir, to);
#ifdef RENAME_NOREPLACE
  return ::renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE);
#else
  errno = EINVAL;
  return -1;
#endif
}

ssize_t pread_cached_real(int fd, void* buffer, size_t n, off_t offset) {
#if defined(__linux__) && defined(RWF_NOWAIT)
  iovec piece{buffer, n};
  return ::preadv2(fd, &piece, 1, offset, RWF_NOWAIT);
#else
  (void)fd, (void)buffer, (void)n, (void)offset;
  errno = EAGAIN;
  return -1;
#endif
}

const SystemCalls kRealCalls{
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    [](int dir, const char* name, int flags, mode_t mode) { return ::openat(dir, name, flags, mode); },
    [](int fd, struct stat* st) { return ::fstat(fd, st); },
    [](int dir, const char* name, struct stat* st, int flags) { return ::fstatat(dir, name, st, flags); },
    [](const char* path, struct stat* st) { return ::stat(path, st); },
    [](const char* path, struct stat* st) { return ::lstat(path, st); },
    [](int fd, void* buffer, size_t n) { return ::read(fd, buffer, n); },
    [](int fd, void* buffer, size_t n, off_t offset) { return ::pread(fd, buffer, n, offset); },
    pread_cached_real,
    [](int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); },
    [](int fd, const void* buffer, size_t n) { return ::write(fd, buffer, n); },
    [](int fd) { return ::close(fd); },
    [](int fd) { return ::fdopendir(fd); },
    [](DIR* dir) { return ::readdir(dir); },
    [](DIR* dir) { return ::closedir(dir); },
    [](const char* path, const char* mode) { return std::fopen(path, mode); },
    [](const char* from, const char* to) { return std::rename(from, to); },
    [](const char* path) { return std::remove(path); },
    renameat_real,
    [](int from_dir, const char* from, int to_dir, const char* to, int flags) {
      return ::linkat(from_dir, from, to_dir, to, flags);
    },
    [](int dir, const char* name, int flags) { return ::unlinkat(dir, name, flags); },
    [](int fd) { return ::fsync(fd); },
    [](int fd, off_t offset, off_t n, int advice) { return ::posix_fadvise(fd, offset, n, advice); },
    [](const char* path, char* buffer, size_t n) { return ::readlink(path, buffer, n); },
    [](const char* path, mode_t mode) { return ::mkdir(path, mode); },
    []() { return ::geteuid(); },
};

SystemCalls g_calls = kRealCalls;

// Closes a descriptor on every path out of a scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { int fd = fd_; fd_ = -1; return fd; }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      int err = errno;
      g_calls.close(fd_);
      errno = err;
    }
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace

bool write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t put = g_calls.write(fd, data, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) {
      errno = EIO;
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

namespace {

EntryType type_of(mode_t mode) {
  if (S_ISLNK(mode)) return EntryType::kLink;
  if (S_ISDIR(mode)) return EntryType::kFolder;
  if (S_ISREG(mode)) return EntryType::kFile;
  return EntryType::kOther;
}

// The kind a folder entry records for itself; false when the system leaves it unknown.
bool type_from_entry(const struct dirent& d, EntryType& type) {
#ifdef DT_UNKNOWN
  switch (d.d_type) {
    case DT_UNKNOWN: return false;
    case DT_LNK: type = EntryType::kLink; return true;
    case DT_DIR: type = EntryType::kFolder; return true;
    case DT_REG: type = EntryType::kFile; return true;
    default: type = EntryType::kOther; return true;
  }
#else
  (void)d;
  (void)type;
  return false;
#endif
}

std::int64_t nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + static_cast<std::int64_t>(t.tv_nsec);
}

FileStamp stamp_of(const struct stat& st) {
#ifdef __APPLE__
  const struct timespec& modified = st.st_mtimespec;
  const struct timespec& changed = st.st_ctimespec;
#else
  const struct timespec& modified = st.st_mtim;
  const struct timespec& changed = st.st_ctim;
#endif
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::int64_t>(st.st_size), nanoseconds(modified), nanoseconds(changed)};
}

// A link met with O_NOFOLLOW reads as ENOTDIR when a folder was asked for: make it ELOOP.
void name_link(int dir, const std::string& name) {
  const int err = errno;
  struct stat st {};
  errno = err == ENOTDIR && g_calls.fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)
              ? ELOOP
              : err;
}

// The folder that holds the last of `parts`, reached from the held folder one folder at a time
// without following links: the held descriptor itself, or one that `owner` closes. -1 with errno.
int open_parent_in(const HeldEntry& held, const std::vector<std::string>& parts, Descriptor& owner) {
  int at = held.fd;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    errno = 0;
    const int next = g_calls.openat(at, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (next < 0) {
      name_link(at, parts[i]);
      return -1;
    }
    owner.reset(next);
    at = next;
  }
  return at;
}

// Opens a path that lies in a held folder from that folder, the last component with `flags` and
// O_NOFOLLOW too (ELOOP for a link anywhere on the way). -1 with errno set.
int open_in(const HeldEntry& held, const std::string& path, int flags) {
  std::vector<std::string> parts;
  if (!parts_below(held, path, parts)) return -1;
  errno = 0;
  if (parts.empty()) return g_calls.openat(held.fd, ".", flags | O_CLOEXEC, 0);
  Descriptor owner;
  const int dir = open_parent_in(held, parts, owner);
  if (dir < 0) return -1;
  errno = 0;
  const int fd = g_calls.openat(dir, parts.back().c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) name_link(dir, parts.back());
  return fd;
}

// Opens `path` from the held folder it lies in, else by the path itself.
int open_path(const std::string& path, int flags, bool& held) {
  const HeldRef folder = held_folder_of(path);
  held = folder != nullptr;
  if (held) return open_in(*folder, path, flags);
  errno = 0;
  return g_calls.open(path.c_str(), flags, 0);
}

Error open_error(const char* what, const std::string& path, bool held) {
  if (held && errno == ELOOP) return {ELOOP, what, "it is a link or lies behind one, and links are not followed", path};
  return errno_error(errno, what, path);
}

}  // namespace

HeldEntry::~HeldEntry() {
  if (fd >= 0) g_calls.close(fd);
}

HeldFolder::HeldFolder(const std::string& folder) {
  if (folder.empty()) {
    error_ = ENOENT;
    return;
  }
  auto entry = std::make_shared<HeldEntry>();
  entry->key = held_key(folder);
  bool below_held = false;
  entry->fd = open_path(entry->key, O_RDONLY | O_DIRECTORY | O_CLOEXEC, below_held);
  if (entry->fd < 0) {
    error_ = errno ? errno : EIO;
    return;
  }
  struct stat st {};
  if (g_calls.fstat(entry->fd, &st) != 0) {
    error_ = errno ? errno : EIO;
    return;
  }
  identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  register_held(std::move(entry), id_);
}

SystemCalls& system_calls() { return g_calls; }
const SystemCalls& real_system_calls() { return kRealCalls; }

std::optional<Error> ReadableFile::open(const char* what) {
  const std::string& path = path_;
  // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
  bool held = false;
  Descriptor fd(open_path(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, held));
  if (fd.get() < 0) return open_error(what, path, held);
  struct stat st {};
  if (g_calls.fstat(fd.get(), &st) != 0) return errno_error(errno, what, path);
  if (!S_ISREG(st.st_mode)) return not_regular(what, path);
  length_ = static_cast<std::int64_t>(st.st_size);
  stamp_ = stamp_of(st);
  // A file whose blocks cover its length has no hole worth asking the file system about.
  may_have_holes_ = static_cast<std::int64_t>(st.st_blocks) * 512 < length_;
  fd_ = fd.release();
  // Only advice: without it the system's read-ahead reads far more than the few blocks a check needs.
  g_calls.fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
  return std::nullopt;
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) g_calls.close(fd_);
}

void ReadableFile::reading_in_sequence() { g_calls.fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

bool ReadableFile::bring_in(std::int64_t offset, std::int64_t n) {
  return g_calls.fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(n), POSIX_FADV_WILLNEED) == 0;
}

std::optional<Error> ReadableFile::read(std::int64_t offset, void* out, std::size_t n, std::size_t& got) {
  got = 0;
  auto* bytes = static_cast<std::uint8_t*>(out);
  while (got < n) {
    errno = 0;
    ssize_t r = g_calls.pread(fd_, bytes + got, n - got, static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno_error(errno, "Reading the file", path_);
    }
    if (r == 0) break;  // a file that shrank under us ends early
    got += static_cast<std::size_t>(r);
  }
  return std::nullopt;
}

std::size_t ReadableFile::read_cached(std::int64_t offset, void* out, std::size_t n) {
  const ssize_t r = g_calls.pread_cached(fd_, out, n, static_cast<off_t>(offset));
  return r > 0 ? static_cast<std::size_t>(r) : 0;
}

std::int64_t ReadableFile::next_data(std::int64_t offset) {
#ifdef SEEK_DATA
  if (offset < 0 || offset >= length_ || !may_have_holes_) return offset;
  // The last 64 KiB always count as data: at the largest lengths a file system may round the end
  // of the file wrongly and report its last page as a hole.
  const std::int64_t tail = std::max<std::int64_t>(offset, length_ - 64 * 1024);
  errno = 0;
  const off_t data = g_calls.lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
  if (data >= 0) return std::min<std::int64_t>(std::max<std::int64_t>(data, offset), tail);
  if (errno == ENXIO) return tail;  // a hole up to the end
#endif
  return offset;
}

std::optional<Error> create_new_file_beneath(const std::string& folder, const std::string& relative_name,
                                             const std::string& bytes, CreateOutcome& outcome) {
  const std::string path = folder + relative_name;
  if (!name_stays_inside(relative_name)) return leads_outside(path);
  const std::vector<std::string> parts = components(relative_name);
  // The verified folder: the held one, else the one the user named, links and all.
  bool held = false;
  Descriptor dir(open_path(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, held));
  if (dir.get() < 0) return open_error("Opening the folder", folder, held);
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    errno = 0;
    int next = g_calls.openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (next < 0) {
      // A link in the way reads as ELOOP (or ENOTDIR on some systems): say what it is.
      if (errno == ELOOP) return Error{kErrRefused, "Creating the file", "a link stands in its path", path};
      return errno_error(errno, "Opening the folder of", path);
    }
    dir.reset(next);
  }
  errno = 0;
  Descriptor file(g_calls.openat(dir.get(), parts.back().c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (file.get() < 0) {
    const int err = errno;
    if (err != EEXIST) return errno_error(err, "Creating the file", path);
    struct stat st {};
    if (g_calls.fstatat(dir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return errno_error(errno, "Creating the file", path);
    outcome = CreateOutcome::kAlreadyThere;
    if (S_ISREG(st.st_mode)) return std::nullopt;
    return Error{kErrRefused, "Creating the file",
                 std::string("a ") + (S_ISLNK(st.st_mode) ? "link" : "file that is not a regular file") +
                     " of that name is there",
                 path};
  }
  if (!write_all(file.get(), bytes.data(), bytes.size())) return errno_error(errno, "Writing the file", path);
  if (g_calls.close(file.release()) != 0) return errno_error(errno, "Writing the file", path);
  outcome = CreateOutcome::kCreated;
  return std::nullopt;
}

std::FILE* open_stream(const std::string& path, const char* mode) { return g_calls.fopen(path.c_str(), mode); }
bool rename_file(const std::string& from, const std::string& to) { return g_calls.rename(from.c_str(), to.c_str()) == 0; }
bool remove_file(const std::string& path) { return g_calls.remove(path.c_str()) == 0; }

bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries, int& error, bool follow_last) {
  entries.clear();
  error = 0;
  errno = 0;
  std::string path = folder.empty() ? std::string(".") : folder;
  // A trailing separator would make the system follow a link in the last component.
  while (!follow_last && path.size() > 1 && path.back() == '/') path.pop_back();
  // Below a held folder no link is followed, the last component's included.
  bool held = false;
  const int fd = open_path(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow_last ? 0 : O_NOFOLLOW), held);
  if (fd < 0) {
    error = errno ? errno : EIO;
    // A link met with O_NOFOLLOW reads as ENOTDIR on some systems: tell it apart from a file.
    struct stat st {};
    if (!held && !follow_last && error == ENOTDIR && g_calls.lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      error = ELOOP;
    return false;
  }
  DIR* dir = g_calls.fdopendir(fd);
  if (!dir) {
    error = errno ? errno : EIO;
    g_calls.close(fd);
    return false;
  }
  for (;;) {
    errno = 0;
    struct dirent* d = g_calls.readdir(dir);
    if (!d) {
      error = errno;
      break;
    }
    const char* name = d->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    FolderEntry entry;
    entry.name = name;
    struct stat st {};
    // The entry's own kind as the folder records it spares a stat per entry; only a system that
    // does not say asks for it.
    if (!type_from_entry(*d, entry.type) && g_calls.fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0)
      entry.type = type_of(st.st_mode);
    entry.leads_to_folder = entry.type == EntryType::kFolder;
    if (entry.type == EntryType::kLink && g_calls.fstatat(dirfd(dir), name, &st, 0) == 0)
      entry.leads_to_folder = S_ISDIR(st.st_mode);
    entries.push_back(std::move(entry));
  }
  g_calls.closedir(dir);
  return error == 0;
}

namespace {

// The path itself, not followed; in a held folder taken from it.
bool stat_not_followed(const std::string& path, struct stat& st) {
  if (const HeldRef held = held_folder_of(path)) {
    std::vector<std::string> parts;
    if (!parts_below(*held, path, parts)) return false;
    Descriptor owner;
    const int dir = parts.empty() ? held->fd : open_parent_in(*held, parts, owner);
    if (dir < 0) return false;
    return (parts.empty() ? g_calls.fstat(dir, &st) : g_calls.fstatat(dir, parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW)) == 0;
  }
  return g_calls.lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool entry_type(const std::string& path, EntryType& type) {
  struct stat st {};
  if (!stat_not_followed(path, st)) return false;
  type = type_of(st.st_mode);
  return true;
}

bool is_symbolic_link(const std::string& path) {
  struct stat st {};
  return g_calls.lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool file_stamp(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (!stat_not_followed(path, st) || !S_ISREG(st.st_mode)) return false;
  stamp = stamp_of(st);
  return true;
}

bool file_identity(const std::string& path, FileIdentity& identity) {
  struct stat st {};
  if (g_calls.stat(path.c_str(), &st) != 0) return false;
  identity.device = static_cast<std::uint64_t>(st.st_dev);
  identity.inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

void secure_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is the one just found closed.
    const int opened = ::open("/dev/null", O_RDONLY | O_NOCTTY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  ::signal(SIGPIPE, SIG_IGN);
}

namespace {

// Closes a descriptor, keeping errno.
void close_quietly(int& fd) {
  if (fd < 0) return;
  const int err = errno;
  g_calls.close(std::exchange(fd, -1));
  errno = err;
}

// Moves the finished file to the name, over what stands there or only where nothing does.
bool move_into_place(int dir, const std::string& temp, const std::string& name, bool replace) {
  if (g_calls.renameat(dir, temp.c_str(), dir, name.c_str(), !replace) == 0) return true;
  if (replace || (errno != EINVAL && errno != ENOSYS)) return false;
  // A file system without the exclusive rename: a hard link fails as well when the name exists.
  if (g_calls.linkat(dir, temp.c_str(), dir, name.c_str(), 0) != 0) return false;
  g_calls.unlinkat(dir, temp.c_str(), 0);
  return true;
}

}  // namespace

FileBeside::~FileBeside() { discard(); }

bool FileBeside::open(const std::string& folder, const std::string& name) {
  name_ = name;
  errno = 0;
  folder_ = g_calls.open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  return folder_ >= 0;
}

bool FileBeside::look(std::optional<EntryType>& kind, FileIdentity& identity, bool) const {
  kind.reset();
  struct stat st {};
  errno = 0;
  if (g_calls.fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  kind = type_of(st.st_mode);
  identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

bool FileBeside::create(const std::string& temporary_name) {
  errno = 0;
  file_ = g_calls.openat(folder_, temporary_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                         0666);
  if (file_ < 0) return false;
  temp_ = temporary_name;
  return true;
}

bool FileBeside::write(std::string_view bytes) { return write_all(file_, bytes.data(), bytes.size()); }

bool FileBeside::finish() {
  errno = 0;
  if (g_calls.fsync(file_) != 0) return false;
  errno = 0;
  return g_calls.close(std::exchange(file_, -1)) == 0;
}

bool FileBeside::place(bool replace) {
  errno = 0;
  if (!move_into_place(folder_, temp_, name_, replace)) return false;
  temp_.clear();
  // The new name itself reaches the disk with the folder.
  g_calls.fsync(folder_);
  close_quietly(folder_);
  return true;
}

void FileBeside::discard() {
  close_quietly(file_);
  if (!temp_.empty() && folder_ >= 0) g_calls.unlinkat(folder_, temp_.c_str(), 0);
  temp_.clear();
  close_quietly(folder_);
}

ScratchFile::ScratchFile(const std::string& folder) {
  errno = 0;
  int dir = g_calls.open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  for (int attempt = 0; dir >= 0 && file_ < 0 && attempt < 16; ++attempt) {
    const std::string name = temporary_name("scratch");
    file_ = g_calls.openat(dir, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    // Held by its descriptor alone from here on.
    if (file_ >= 0) g_calls.unlinkat(dir, name.c_str(), 0);
    else if (errno != EEXIST) break;
  }
  close_quietly(dir);
  failed_ = file_ < 0;
}

ScratchFile::~ScratchFile() { close_quietly(file_); }

bool ScratchFile::read_back(const std::function<bool(std::string_view)>& take) {
  if (file_ < 0) return size_ == 0;
  failed_ = true;
  std::string piece(std::min<std::uint64_t>(size_, 1 << 20), '\0');
  for (std::uint64_t done = 0; done < size_;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - done, piece.size()));
    const ssize_t n = g_calls.pread(file_, piece.data(), want, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || !take(std::string_view(piece.data(), static_cast<std::size_t>(n)))) return false;
    done += static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace qn::platform
