#include "platform/file_access.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/wide_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace qn::platform {

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The text after the last separator of either kind.
[[maybe_unused]] std::string last_component(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

// The components of a relative name, split at either separator; empty ones (doubled separators)
// are dropped.
std::vector<std::string> components(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (is_separator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

[[noreturn]] [[maybe_unused]] void throw_errno(int err, const std::string& what, const std::string& path) {
  errno = err;
  throw_io_error(what, path);
}

[[noreturn]] void throw_not_regular(const std::string& what, const std::string& path) {
  throw StepError(kErrFileAccess, what + " failed: not a regular file: " + path);
}

}  // namespace

bool name_stays_inside(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (is_separator(name[0])) return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // "C:", "C:\x", "C:x"
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool names_windows_device(const std::string& name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const std::string& part : components(name)) {
    if (part.find(':') != std::string::npos) return true;
    // Windows drops trailing dots and blanks, and a device name keeps its meaning with any
    // extension: "nul.nfo", "Com1 .txt", "AUX..".
    std::string stem = part.substr(0, part.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : kDevices)
      if (stem == device) return true;
    if (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0) continue;
    // COM0-COM9 and LPT0-LPT9, and with the superscript digits 1, 2 and 3, which Windows reads as
    // the same devices.
    const std::string number = stem.substr(std::min<std::size_t>(3, stem.size()));
    if ((number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
        number == "\xC2\xB2" || number == "\xC2\xB3")
      return true;
  }
  return false;
}

// A held folder as the registry keeps it; it closes its folder when the last reference ends.
struct HeldEntry {
  std::string key;  // the folder text, ending in its separator
  std::uint64_t id = 0;
#ifdef _WIN32
  void* handle = nullptr;  // HANDLE
#else
  int fd = -1;
#endif
  HeldEntry() = default;
  HeldEntry(const HeldEntry&) = delete;
  HeldEntry& operator=(const HeldEntry&) = delete;
  ~HeldEntry();
};

namespace {

std::mutex g_held_mutex;
std::vector<std::shared_ptr<const HeldEntry>> g_held;  // in the order they were made
std::uint64_t g_last_held_id = 0;
// Pinned folders with the thread that pinned each (not thread_local: a thread's own destructors
// are not run reliably by every threads library at thread exit).
std::vector<std::pair<std::thread::id, HeldRef>> g_pinned;

bool lies_in(const std::string& path, const std::string& key) {
  if (path.compare(0, key.size(), key) == 0) return true;
  return path.size() + 1 == key.size() && key.compare(0, path.size(), path) == 0;  // the folder without its separator
}

std::string held_key(const std::string& folder) {
  return is_separator(folder.back()) ? folder : folder + kSep;
}

void register_held(std::shared_ptr<HeldEntry> entry, std::uint64_t& id) {
  std::lock_guard<std::mutex> lock(g_held_mutex);
  entry->id = id = ++g_last_held_id;
  g_held.push_back(std::move(entry));
}

// The components of `path` below the held folder; false with errno set for a ".." component,
// which would leave it. "." components are dropped.
bool parts_below(const HeldEntry& held, const std::string& path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.size() <= held.key.size()) return true;
  for (std::string& part : components(path.substr(held.key.size()))) {
    if (part == "..") {
      errno = EPERM;
      return false;
    }
    if (part != ".") parts.push_back(std::move(part));
  }
  return true;
}

}  // namespace

HeldRef held_folder_of(const std::string& path) {
  HeldRef best;
  // The longest text wins; of equal ones the one made last.
  auto consider = [&](const HeldRef& entry) {
    if (lies_in(path, entry->key) && (!best || entry->key.size() >= best->key.size())) best = entry;
  };
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> lock(g_held_mutex);
  for (const auto& [thread, entry] : g_pinned)
    if (thread == self) consider(entry);
  for (const HeldRef& entry : g_held) consider(entry);
  return best;
}

HeldFolder::~HeldFolder() {
  if (id_ == 0) return;
  std::shared_ptr<const HeldEntry> ended;  // closed outside the lock
  std::lock_guard<std::mutex> lock(g_held_mutex);
  for (auto it = g_held.begin(); it != g_held.end(); ++it) {
    if ((*it)->id == id_) {
      ended = std::move(*it);
      g_held.erase(it);
      break;
    }
  }
}

PinHeld::PinHeld(HeldRef folder) : pinned_(folder != nullptr) {
  if (!pinned_) return;
  std::lock_guard<std::mutex> lock(g_held_mutex);
  g_pinned.emplace_back(std::this_thread::get_id(), std::move(folder));
}

PinHeld::~PinHeld() {
  if (!pinned_) return;
  HeldRef ended;  // closed outside the lock
  std::lock_guard<std::mutex> lock(g_held_mutex);
  const std::thread::id self = std::this_thread::get_id();
  for (auto it = g_pinned.end(); it != g_pinned.begin();) {
    if ((--it)->first == self) {
      ended = std::move(it->second);
      g_pinned.erase(it);
      break;
    }
  }
}

std::string read_regular_file(const std::string& path, std::uint64_t max_size) {
  ReadableFile file(path);
  if (static_cast<std::uint64_t>(file.length()) > max_size) {
    throw StepError(kErrFileAccess, "Reading the file failed: it holds " + std::to_string(file.length()) +
                                        " bytes, more than the " + std::to_string(max_size) +
                                        " bytes a checksum file may hold: " + path);
  }
  // One copy, sized once; a file that grows while it is read is cut at the limit.
  std::string bytes(static_cast<std::size_t>(file.length()), '\0');
  std::size_t got = bytes.empty() ? 0 : file.read_at(0, bytes.data(), bytes.size());
  bytes.resize(got);
  return bytes;
}

#ifndef _WIN32

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

[[noreturn]] void throw_open_error(const char* what, const std::string& path, bool held) {
  if (held && errno == ELOOP)
    throw StepError(ELOOP, std::string(what) + " failed: it is a link or lies behind one, and links are not followed: " + path);
  throw_io_error(what, path);
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

ReadableFile::ReadableFile(const std::string& path, const char* what) : path_(path) {
  // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
  bool held = false;
  Descriptor fd(open_path(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, held));
  if (fd.get() < 0) throw_open_error(what, path, held);
  struct stat st {};
  if (g_calls.fstat(fd.get(), &st) != 0) throw_io_error(what, path);
  if (!S_ISREG(st.st_mode)) throw_not_regular(what, path);
  length_ = static_cast<std::int64_t>(st.st_size);
  stamp_ = stamp_of(st);
  // A file whose blocks cover its length has no hole worth asking the file system about.
  may_have_holes_ = static_cast<std::int64_t>(st.st_blocks) * 512 < length_;
  fd_ = fd.release();
  // Only advice: without it the system's read-ahead reads far more than the few blocks a check needs.
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) g_calls.close(fd_);
}

void ReadableFile::reading_in_sequence() { ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

bool ReadableFile::bring_in(std::int64_t offset, std::int64_t n) {
  return ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(n), POSIX_FADV_WILLNEED) == 0;
}

std::size_t ReadableFile::read_at(std::int64_t offset, void* out, std::size_t n) {
  std::size_t got = 0;
  auto* bytes = static_cast<std::uint8_t*>(out);
  while (got < n) {
    errno = 0;
    ssize_t r = g_calls.pread(fd_, bytes + got, n - got, static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
    if (r < 0) {
      if (errno == EINTR) continue;
      throw_io_error("Reading the file", path_);
    }
    if (r == 0) break;  // a file that shrank under us ends early
    got += static_cast<std::size_t>(r);
  }
  return got;
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

CreateOutcome create_new_file_beneath(const std::string& folder, const std::string& relative_name,
                                      const std::string& bytes) {
  const std::string path = folder + relative_name;
  if (!name_stays_inside(relative_name))
    throw StepError(kErrRefused, "Creating the file failed: the name leads outside the verified folder " + folder + ": \"" +
                                     relative_name + "\"");
  const std::vector<std::string> parts = components(relative_name);
  // The verified folder: the held one, else the one the user named, links and all.
  bool held = false;
  Descriptor dir(open_path(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, held));
  if (dir.get() < 0) throw_open_error("Opening the folder", folder, held);
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    errno = 0;
    int next = g_calls.openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (next < 0) {
      // A link in the way reads as ELOOP (or ENOTDIR on some systems): say what it is.
      if (errno == ELOOP) throw StepError(kErrRefused, "Creating the file failed: a link stands in its path: " + path);
      throw_io_error("Opening the folder of", path);
    }
    dir.reset(next);
  }
  errno = 0;
  Descriptor file(g_calls.openat(dir.get(), parts.back().c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (file.get() < 0) {
    const int err = errno;
    if (err != EEXIST) throw_errno(err, "Creating the file", path);
    struct stat st {};
    if (g_calls.fstatat(dir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      throw_io_error("Creating the file", path);
    if (S_ISREG(st.st_mode)) return CreateOutcome::kAlreadyThere;
    throw StepError(kErrRefused, std::string("Creating the file failed: a ") +
                                     (S_ISLNK(st.st_mode) ? "link" : "file that is not a regular file") +
                                     " of that name is there: " + path);
  }
  if (!write_all(file.get(), bytes.data(), bytes.size())) throw_io_error("Writing the file", path);
  if (g_calls.close(file.release()) != 0) throw_io_error("Writing the file", path);
  return CreateOutcome::kCreated;
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

#else  // _WIN32

namespace {

// The system's error of the last failed wide call, as errno (as the C library maps it).
int errno_of_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return ENOENT;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY: return ENOMEM;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
  }
}

// Not a flag of the C library: open the last component itself, and fail with ELOOP when it is a
// link or a junction.
constexpr int kOpenNoFollow = 0x40000000;

// 1 when the handle's file is a link or a junction (a reparse point that stands for another
// name), 0 when not, -1 with errno set when that cannot be told.
int handle_is_link(HANDLE h, bool* folder = nullptr) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info)) {
    errno = EIO;
    return -1;
  }
  if (folder) *folder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(info.ReparseTag) ? 1 : 0;
}

// _wopen of an existing file with the C library's flags, but sharing the file for deleting and
// renaming as well: a file we only read for a moment never makes another program's delete or
// rename fail, as on other systems. It never creates or truncates: new files come from
// create_new and are renamed into place.
int open_real(const char* path, int flags, int) {
  if (flags & (_O_CREAT | _O_TRUNC)) {
    errno = EINVAL;
    return -1;
  }
  const int access = flags & (_O_RDONLY | _O_WRONLY | _O_RDWR);
  const DWORD desired = access == _O_WRONLY ? GENERIC_WRITE
                        : access == _O_RDWR ? GENERIC_READ | GENERIC_WRITE
                                            : GENERIC_READ;
  const bool no_follow = (flags & kOpenNoFollow) != 0;
  HANDLE h = CreateFileW(wide_path(path).c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | (no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errno_of_last_error();
    return -1;
  }
  if (no_follow) {
    const int link = handle_is_link(h);
    if (link != 0) {
      CloseHandle(h);
      if (link > 0) errno = ELOOP;
      return -1;
    }
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags & (_O_RDONLY | _O_WRONLY | _O_RDWR | _O_APPEND | _O_BINARY | _O_TEXT));
  if (fd < 0) CloseHandle(h);
  return fd;
}

// Paths are UTF-8 texts: every call below takes the wide form (wide_path), so that names the
// ANSI code page cannot spell and paths longer than 260 characters work.
int create_new_real(const char* path) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errno_of_last_error();
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
  if (fd < 0) CloseHandle(h);
  return fd;
}

int identity_real(const char* path, unsigned long long* volume, unsigned long long* index) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errno_of_last_error();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  if (!ok) errno = errno_of_last_error();
  CloseHandle(h);
  if (!ok) return -1;
  *volume = info.dwVolumeSerialNumber;
  *index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return 0;
}

FileStamp stamp_of(const struct _stat64& st) {
  return {static_cast<std::uint64_t>(st.st_dev), 0, static_cast<std::int64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtime) * 1000000000, static_cast<std::int64_t>(st.st_ctime) * 1000000000};
}

unsigned long attributes_real(const char* path) {
  const DWORD a = GetFileAttributesW(wide_path(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) errno = ENOENT;
  return a;
}

const SystemCalls kRealCalls{
    open_real,
    [](int fd, struct _stat64* st) { return _fstat64(fd, st); },
    [](const char* path, struct _stat64* st) { return _wstat64(wide_path(path).c_str(), st); },
    [](int fd, void* buffer, unsigned n) { return _read(fd, buffer, n); },
    [](int fd, long long offset, int origin) { return static_cast<long long>(_lseeki64(fd, offset, origin)); },
    [](int fd, const void* buffer, unsigned n) { return _write(fd, buffer, n); },
    [](int fd) { return _close(fd); },
    create_new_real,
    attributes_real,
    [](const char* path, const char* mode) {
      return _wfopen(wide_path(path).c_str(), wide_from_utf8(mode).c_str());
    },
    [](const char* from, const char* to) {
      if (MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
      errno = errno_of_last_error();
      return -1;
    },
    [](const char* path) {
      if (DeleteFileW(wide_path(path).c_str())) return 0;
      errno = errno_of_last_error();
      return -1;
    },
    [](int fd) { return _commit(fd); },
    [](const char* from, const char* to) {
      if (MoveFileExW(wide_path(from).c_str(), wide_path(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
      errno = errno_of_last_error();
      return -1;
    },
    identity_real,
};

SystemCalls g_calls = kRealCalls;

bool write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30));
    const int put = g_calls.write(fd, data, chunk);
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

bool is_reparse_point(const std::string& path) {
  const unsigned long a = g_calls.attributes(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A folder opened to be held: shared for reading and writing but not for deleting, so that while
// the handle lives it can be neither renamed nor replaced, nor can any folder above it.
HANDLE open_folder_handle(const std::string& path, bool no_follow) {
  std::string text = path;
  if (text.size() > 3 && is_separator(text.back())) text.pop_back();  // "C:\" keeps its separator
  return CreateFileW(wide_path(text).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
}

// The folders on the way from a held folder to a path in it, each opened without following a
// link, checked to be a folder and not a link or junction, and held so until the operation on
// the path is done.
class PinnedWay {
 public:
  PinnedWay() = default;
  PinnedWay(const PinnedWay&) = delete;
  PinnedWay& operator=(const PinnedWay&) = delete;
  ~PinnedWay() {
    for (HANDLE h : handles_) CloseHandle(h);
  }
  // Pins the folders of `path` below `held` (the last component too when `last_too`); false
  // with errno set (ELOOP for a link or junction on the way).
  bool pin(const HeldEntry& held, const std::string& path, bool last_too) {
    std::vector<std::string> parts;
    if (!parts_below(held, path, parts)) return false;
    if (!last_too && !parts.empty()) parts.pop_back();
    std::string at = held.key;
    for (const std::string& part : parts) {
      at += part;
      HANDLE h = open_folder_handle(at, true);
      if (h == INVALID_HANDLE_VALUE) {
        errno = errno_of_last_error();
        return false;
      }
      handles_.push_back(h);
      bool folder = false;
      const int link = handle_is_link(h, &folder);
      if (link != 0) {
        if (link > 0) errno = ELOOP;
        return false;
      }
      if (!folder) {
        errno = ENOTDIR;
        return false;
      }
      at += '\\';
    }
    return true;
  }

 private:
  std::vector<HANDLE> handles_;
};

[[noreturn]] void throw_open_error(const char* what, const std::string& path, bool held) {
  if (held && errno == ELOOP)
    throw StepError(ELOOP, std::string(what) + " failed: it is a link or lies behind one, and links are not followed: " + path);
  throw_io_error(what, path);
}

}  // namespace

HeldEntry::~HeldEntry() {
  if (handle) CloseHandle(static_cast<HANDLE>(handle));
}

HeldFolder::HeldFolder(const std::string& folder) {
  if (folder.empty()) {
    error_ = ENOENT;
    return;
  }
  auto entry = std::make_shared<HeldEntry>();
  entry->key = held_key(folder);
  const HeldRef outer = held_folder_of(entry->key);
  std::vector<std::string> parts;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (outer && parts_below(*outer, entry->key, parts) && parts.empty()) {
    // The same folder again: the same handle, not its path.
    if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(outer->handle), GetCurrentProcess(), &h, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      h = INVALID_HANDLE_VALUE;
  } else {
    PinnedWay way;
    if (outer && !way.pin(*outer, entry->key, false)) {
      error_ = errno ? errno : EIO;
      return;
    }
    // The user's own folder is taken as named, links and all; one below a held folder is not.
    h = open_folder_handle(entry->key, outer != nullptr);
  }
  if (h == INVALID_HANDLE_VALUE) {
    error_ = errno_of_last_error();
    return;
  }
  entry->handle = h;
  bool is_folder = false;
  const int link = handle_is_link(h, &is_folder);
  BY_HANDLE_FILE_INFORMATION info;
  if (link < 0 || !GetFileInformationByHandle(h, &info)) {
    error_ = EIO;
    return;
  }
  if (link > 0 || !is_folder) {
    error_ = link > 0 ? ELOOP : ENOTDIR;
    return;
  }
  identity_ = {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  register_held(std::move(entry), id_);
}

SystemCalls& system_calls() { return g_calls; }
const SystemCalls& real_system_calls() { return kRealCalls; }

ReadableFile::ReadableFile(const std::string& path, const char* what) : path_(path) {
  if (names_windows_device(last_component(path)))
    throw StepError(kErrRefused, std::string(what) + " failed: a reserved device name: " + path);
  errno = 0;
  // In a held folder: the folders on the way held and checked, the file itself not followed.
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) throw_open_error(what, path, true);
  const int fd = g_calls.open(path.c_str(), _O_RDONLY | _O_BINARY | (held ? kOpenNoFollow : 0), 0);
  if (fd < 0) throw_open_error(what, path, held != nullptr);
  struct _stat64 st {};
  if (g_calls.fstat(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    g_calls.close(fd);
    throw_not_regular(what, path);
  }
  length_ = st.st_size;
  stamp_ = stamp_of(st);
  // The identity of the open file, as the identity call gives it for a name.
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &info)) {
    stamp_.device = info.dwVolumeSerialNumber;
    stamp_.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  fd_ = fd;
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) g_calls.close(fd_);
}

std::size_t ReadableFile::read_cached(std::int64_t, void*, std::size_t) { return 0; }

std::int64_t ReadableFile::next_data(std::int64_t offset) { return offset; }

// The system's cache reads ahead of sequential reads by itself here.
void ReadableFile::reading_in_sequence() {}

bool ReadableFile::bring_in(std::int64_t, std::int64_t) { return false; }

std::size_t ReadableFile::read_at(std::int64_t offset, void* out, std::size_t n) {
  errno = 0;
  if (g_calls.seek(fd_, offset, SEEK_SET) < 0) throw_io_error("Seeking in the file", path_);
  std::size_t got = 0;
  auto* bytes = static_cast<char*>(out);
  while (got < n) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(n - got, 1u << 30));
    const int r = g_calls.read(fd_, bytes + got, chunk);
    if (r < 0) throw_io_error("Reading the file", path_);
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

CreateOutcome create_new_file_beneath(const std::string& folder, const std::string& relative_name,
                                      const std::string& bytes) {
  const std::string path = folder + relative_name;
  if (!name_stays_inside(relative_name))
    throw StepError(kErrRefused, "Creating the file failed: the name leads outside the verified folder " + folder + ": \"" +
                                     relative_name + "\"");
  if (names_windows_device(relative_name))
    throw StepError(kErrRefused, "Creating the file failed: the name holds a reserved device name or \":\": " + path);
  // No component below the folder may be a reparse point (a link or a junction); in a held folder
  // the folders on the way are held meanwhile.
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) {
    if (errno == ELOOP) throw StepError(kErrRefused, "Creating the file failed: a link stands in its path: " + path);
    throw_io_error("Opening the folder of", path);
  }
  const std::vector<std::string> parts = components(relative_name);
  std::string at = folder;
  for (const std::string& part : parts) {
    at += part;
    if (is_reparse_point(at)) throw StepError(kErrRefused, "Creating the file failed: a link stands in its path: " + path);
    at += '\\';
  }
  errno = 0;
  const int fd = g_calls.create_new(path.c_str());
  if (fd < 0) {
    if (errno != EEXIST) throw_io_error("Creating the file", path);
    const unsigned long a = g_calls.attributes(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
      return CreateOutcome::kAlreadyThere;
    throw StepError(kErrRefused, "Creating the file failed: a link or folder of that name is there: " + path);
  }
  const bool written = write_all(fd, bytes.data(), bytes.size());
  const int err = errno;
  const bool closed = g_calls.close(fd) == 0;
  errno = err;
  if (!written || !closed) throw_io_error("Writing the file", path);
  return CreateOutcome::kCreated;
}

std::FILE* open_stream(const std::string& path, const char* mode) {
  if (names_windows_device(last_component(path))) {
    errno = EACCES;
    return nullptr;
  }
  return g_calls.fopen(path.c_str(), mode);
}
bool rename_file(const std::string& from, const std::string& to) { return g_calls.rename(from.c_str(), to.c_str()) == 0; }
bool remove_file(const std::string& path) { return g_calls.remove(path.c_str()) == 0; }

bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries, int& error, bool follow_last) {
  entries.clear();
  error = 0;
  std::string base = folder.empty() ? std::string(".\\") : folder;
  if (!is_separator(base.back())) base += '\\';
  // In a held folder no link or junction is listed through, the folder's own name included.
  const HeldRef held = held_folder_of(base);
  PinnedWay way;
  if (held && !way.pin(*held, base, true)) {
    error = errno ? errno : EIO;
    return false;
  }
  if (!held && !follow_last && is_reparse_point(base.substr(0, base.size() - 1))) {
    error = ELOOP;
    return false;
  }
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide_path(base + "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return true;  // an empty drive root
    error = err == ERROR_PATH_NOT_FOUND ? ENOENT : err == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
  }
  do {
    const std::string name = utf8_from_wide(data.cFileName);
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) entry.type = EntryType::kLink;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) entry.type = EntryType::kFolder;
    else entry.type = EntryType::kFile;
    entry.leads_to_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(h, &data));
  const DWORD err = GetLastError();
  FindClose(h);
  if (err != ERROR_NO_MORE_FILES) {
    error = EIO;
    return false;
  }
  return true;
}

bool entry_type(const std::string& path, EntryType& type) {
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) return false;
  const unsigned long a = g_calls.attributes(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  type = (a & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::kLink
         : (a & FILE_ATTRIBUTE_DIRECTORY)   ? EntryType::kFolder
                                            : EntryType::kFile;
  return true;
}

bool file_stamp(const std::string& path, FileStamp& stamp) {
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) return false;
  const unsigned long a = g_calls.attributes(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) return false;
  struct _stat64 st {};
  unsigned long long volume = 0;
  unsigned long long index = 0;
  if (g_calls.stat(path.c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG ||
      g_calls.identity(path.c_str(), &volume, &index) != 0)
    return false;
  stamp = stamp_of(st);
  stamp.device = volume;
  stamp.inode = index;
  return true;
}

bool file_identity(const std::string& path, FileIdentity& identity) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

void secure_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    const int opened = _open("NUL", _O_RDONLY);
    if (opened >= 0 && opened != fd) {
      _dup2(opened, fd);
      _close(opened);
    }
  }
  _setmode(1, _O_BINARY);
}

#endif

// The same on every system: write_all is each system's own.
bool write_standard_output(const std::string& bytes) {
  std::fflush(stdout);
  return write_all(1, bytes.data(), bytes.size());
}

bool write_standard_error(const std::string& bytes) {
  std::fflush(stderr);
  return write_all(2, bytes.data(), bytes.size());
}

}  // namespace qn::platform
