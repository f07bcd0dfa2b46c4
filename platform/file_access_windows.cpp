#include "platform/file_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access_shared.h"
#include "platform/wide_text.h"

namespace qn::platform {

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

int identity_real(const char* path, bool follow, unsigned long long* volume, unsigned long long* index) {
  HANDLE h = CreateFileW(wide_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
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

int list_real(const char* folder, std::vector<ListedName>* names) {
  names->clear();
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide_path(std::string(folder) + "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND) return 0;  // an empty drive root
    errno = err == ERROR_PATH_NOT_FOUND ? ENOENT : err == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
  }
  do names->push_back({utf8_from_wide(data.cFileName), data.dwFileAttributes});
  while (FindNextFileW(h, &data));
  const DWORD err = GetLastError();
  FindClose(h);
  if (err != ERROR_NO_MORE_FILES) {
    errno = EIO;
    return -1;
  }
  return 0;
}

int mkdir_real(const char* path, int) {
  if (CreateDirectoryW(wide_path(path).c_str(), nullptr)) return 0;
  errno = errno_of_last_error();
  return -1;
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
    list_real,
    [](wchar_t* buffer, unsigned long n) { return static_cast<unsigned long>(GetModuleFileNameW(nullptr, buffer, n)); },
    mkdir_real,
};

SystemCalls g_calls = kRealCalls;

}  // namespace

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

namespace {

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

Error open_error(const char* what, const std::string& path, bool held) {
  if (held && errno == ELOOP) return {ELOOP, what, "it is a link or lies behind one, and links are not followed", path};
  return errno_error(errno, what, path);
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

std::optional<Error> ReadableFile::open(const char* what) {
  const std::string& path = path_;
  if (names_windows_device(last_component(path))) return Error{kErrRefused, what, "a reserved device name", path};
  errno = 0;
  // In a held folder: the folders on the way held and checked, the file itself not followed.
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) return open_error(what, path, true);
  const int fd = g_calls.open(path.c_str(), _O_RDONLY | _O_BINARY | (held ? kOpenNoFollow : 0), 0);
  if (fd < 0) return open_error(what, path, held != nullptr);
  struct _stat64 st {};
  if (g_calls.fstat(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
    g_calls.close(fd);
    return not_regular(what, path);
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
  return std::nullopt;
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) g_calls.close(fd_);
}

std::size_t ReadableFile::read_cached(std::int64_t, void*, std::size_t) { return 0; }

std::int64_t ReadableFile::next_data(std::int64_t offset) { return offset; }

// The system's cache reads ahead of sequential reads by itself here.
void ReadableFile::reading_in_sequence() {}

bool ReadableFile::bring_in(std::int64_t, std::int64_t) { return false; }

std::optional<Error> ReadableFile::read(std::int64_t offset, void* out, std::size_t n, std::size_t& got) {
  errno = 0;
  got = 0;
  if (g_calls.seek(fd_, offset, SEEK_SET) < 0) return errno_error(errno, "Seeking in the file", path_);
  auto* bytes = static_cast<char*>(out);
  while (got < n) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(n - got, 1u << 30));
    const int r = g_calls.read(fd_, bytes + got, chunk);
    if (r < 0) return errno_error(errno, "Reading the file", path_);
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return std::nullopt;
}

std::optional<Error> create_new_file_beneath(const std::string& folder, const std::string& relative_name,
                                             const std::string& bytes, CreateOutcome& outcome) {
  const std::string path = folder + relative_name;
  if (!name_stays_inside(relative_name)) return leads_outside(path);
  if (names_windows_device(relative_name))
    return Error{kErrRefused, "Creating the file", "the name holds a reserved device name or \":\"", path};
  // No component below the folder may be a reparse point (a link or a junction); in a held folder
  // the folders on the way are held meanwhile.
  const HeldRef held = held_folder_of(path);
  PinnedWay way;
  if (held && !way.pin(*held, path, false)) {
    if (errno == ELOOP) return Error{kErrRefused, "Creating the file", "a link stands in its path", path};
    return errno_error(errno, "Opening the folder of", path);
  }
  const std::vector<std::string> parts = components(relative_name);
  std::string at = folder;
  for (const std::string& part : parts) {
    at += part;
    if (is_reparse_point(at)) return Error{kErrRefused, "Creating the file", "a link stands in its path", path};
    at += '\\';
  }
  errno = 0;
  const int fd = g_calls.create_new(path.c_str());
  if (fd < 0) {
    if (errno != EEXIST) return errno_error(errno, "Creating the file", path);
    outcome = CreateOutcome::kAlreadyThere;
    const unsigned long a = g_calls.attributes(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
      return std::nullopt;
    return Error{kErrRefused, "Creating the file", "a link or folder of that name is there", path};
  }
  const bool written = write_all(fd, bytes.data(), bytes.size());
  const int err = errno;
  const bool closed = g_calls.close(fd) == 0;
  errno = err;
  if (!written || !closed) return errno_error(errno, "Writing the file", path);
  outcome = CreateOutcome::kCreated;
  return std::nullopt;
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
  std::vector<ListedName> names;
  errno = 0;
  if (g_calls.list(base.c_str(), &names) != 0) {
    error = errno ? errno : EIO;
    return false;
  }
  for (ListedName& listed : names) {
    if (listed.name == "." || listed.name == "..") continue;
    FolderEntry entry;
    entry.name = std::move(listed.name);
    if (listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) entry.type = EntryType::kLink;
    else if (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) entry.type = EntryType::kFolder;
    else entry.type = EntryType::kFile;
    entry.leads_to_folder = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(std::move(entry));
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

bool is_symbolic_link(const std::string& path) {
  const unsigned long a = g_calls.attributes(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
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
      g_calls.identity(path.c_str(), false, &volume, &index) != 0)
    return false;
  stamp = stamp_of(st);
  stamp.device = volume;
  stamp.inode = index;
  return true;
}

bool file_identity(const std::string& path, FileIdentity& identity) {
  unsigned long long volume = 0;
  unsigned long long index = 0;
  if (g_calls.identity(path.c_str(), true, &volume, &index) != 0) return false;
  identity.device = volume;
  identity.inode = index;
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

FileBeside::~FileBeside() { discard(); }

bool FileBeside::open(const std::string& folder, const std::string& name) {
  folder_path_ = folder;
  name_ = name;
  return true;
}

bool FileBeside::look(std::optional<EntryType>& kind, FileIdentity& identity, bool with_identity) const {
  kind.reset();
  const std::string path = folder_path_ + name_;
  const unsigned long a = g_calls.attributes(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return true;
  kind = (a & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryType::kLink
         : (a & FILE_ATTRIBUTE_DIRECTORY)   ? EntryType::kFolder
                                            : EntryType::kFile;
  unsigned long long volume = 0, index = 0;
  if (with_identity && g_calls.identity(path.c_str(), false, &volume, &index) == 0) identity = {volume, index};
  return true;
}

// Created in the same folder, exclusively and without following a reparse point.
bool FileBeside::create(const std::string& temporary_name) {
  const std::string path = folder_path_ + temporary_name;
  errno = 0;
  file_ = g_calls.create_new(path.c_str());
  if (file_ < 0) return false;
  temp_ = path;
  return true;
}

bool FileBeside::write(std::string_view bytes) { return write_all(file_, bytes.data(), bytes.size()); }

bool FileBeside::finish() {
  errno = 0;
  const bool flushed = g_calls.fsync(file_) == 0;
  const int err = errno;
  errno = 0;
  const bool closed = g_calls.close(std::exchange(file_, -1)) == 0;
  if (!flushed) errno = err;
  return flushed && closed;
}

bool FileBeside::place(bool replace) {
  const std::string path = folder_path_ + name_;
  errno = 0;
  // MoveFileExW replaces a reparse point at the name itself; it never writes through it.
  const int moved = replace ? g_calls.rename(temp_.c_str(), path.c_str()) : g_calls.rename_new(temp_.c_str(), path.c_str());
  if (moved != 0) return false;
  temp_.clear();
  return true;
}

void FileBeside::discard() {
  if (file_ >= 0) g_calls.close(std::exchange(file_, -1));
  if (!temp_.empty()) g_calls.remove(temp_.c_str());
  temp_.clear();
}

ScratchFile::ScratchFile(const std::string& folder) {
  // Nobody else can open, rename or remove the file while it is held (no sharing).
  for (int attempt = 0; file_ < 0 && attempt < 16; ++attempt) {
    path_ = folder + temporary_name("scratch");
    errno = 0;
    file_ = g_calls.create_new(path_.c_str());
    if (file_ < 0 && errno != EEXIST) break;
  }
  if (file_ < 0) path_.clear();
  failed_ = file_ < 0;
}

ScratchFile::~ScratchFile() {
  if (file_ >= 0) g_calls.close(file_);
  if (!path_.empty()) g_calls.remove(path_.c_str());
}

bool ScratchFile::read_back(const std::function<bool(std::string_view)>& take) {
  if (path_.empty()) return size_ == 0;
  failed_ = true;
  // The descriptor writes only: the file is read through a new one, as a regular file.
  if (file_ >= 0) g_calls.close(std::exchange(file_, -1));
  std::optional<Error> error;
  ReadableFile file(path_, error);
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

}  // namespace qn::platform
