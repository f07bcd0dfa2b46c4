#pragma once
// Every access of the program to files and folders: opening, reading, writing, creating, renaming
// and listing. The rest of the program never calls the system for a file itself; it comes here.
//
// The system calls are taken from a table (system_calls()) that tests replace entry by entry, to
// make any call fail, or to change the file system between two calls of one operation.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include "platform/error.h"

namespace qn::platform {

#ifdef _WIN32
// One entry of a folder as the listing call gives it: its name (UTF-8) and its attributes.
struct ListedName {
  std::string name;
  unsigned long attributes = 0;
};

struct SystemCalls {
  int (*open)(const char* path, int flags, int mode);
  int (*fstat)(int fd, struct _stat64* st);
  int (*stat)(const char* path, struct _stat64* st);
  int (*read)(int fd, void* buffer, unsigned n);
  long long (*seek)(int fd, long long offset, int origin);
  int (*write)(int fd, const void* buffer, unsigned n);
  int (*close)(int fd);
  // CreateFileA with CREATE_NEW; returns a descriptor or -1 with errno set.
  int (*create_new)(const char* path);
  // The attributes of a path (GetFileAttributesA); INVALID_FILE_ATTRIBUTES with errno set.
  unsigned long (*attributes)(const char* path);
  std::FILE* (*fopen)(const char* path, const char* mode);
  int (*rename)(const char* from, const char* to);
  int (*remove)(const char* path);
  // For new files renamed into place: flushing to the disk (_commit), the move that fails when the
  // name exists (MoveFileExW without MOVEFILE_REPLACE_EXISTING), and the volume and file index of
  // the name itself, a reparse point not followed; each -1 with errno set on failure.
  int (*fsync)(int fd);
  int (*rename_new)(const char* from, const char* to);
  // With `follow`, of what a link or junction at the name leads to.
  int (*identity)(const char* path, bool follow, unsigned long long* volume, unsigned long long* index);
  // The entries of the folder `folder` (ending in its separator), "." and ".." included, in the
  // system's order (FindFirstFileW/FindNextFileW); 0, none for an empty drive root, or -1 with
  // errno set.
  int (*list)(const char* folder, std::vector<ListedName>* names);
  // The running executable's path (GetModuleFileNameW): its length in wide characters, n or more
  // when the buffer is too short, 0 on failure.
  unsigned long (*module_file_name)(wchar_t* buffer, unsigned long n);
  // A new folder (CreateDirectoryW); -1 with errno set (EEXIST when the name is taken).
  int (*mkdir)(const char* path, int mode);
};
#else
struct SystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*openat)(int dir, const char* name, int flags, mode_t mode);
  int (*fstat)(int fd, struct stat* st);
  int (*fstatat)(int dir, const char* name, struct stat* st, int flags);
  int (*stat)(const char* path, struct stat* st);
  int (*lstat)(const char* path, struct stat* st);
  ssize_t (*read)(int fd, void* buffer, size_t n);
  ssize_t (*pread)(int fd, void* buffer, size_t n, off_t offset);
  // pread of what the system holds in memory already: -1 with EAGAIN where it would wait for the
  // device, and always where the system cannot tell.
  ssize_t (*pread_cached)(int fd, void* buffer, size_t n, off_t offset);
  // Used with SEEK_DATA only, to pass over the holes of a sparse file.
  off_t (*lseek)(int fd, off_t offset, int whence);
  ssize_t (*write)(int fd, const void* buffer, size_t n);
  int (*close)(int fd);
  DIR* (*fdopendir)(int fd);
  struct dirent* (*readdir)(DIR* dir);
  int (*closedir)(DIR* dir);
  std::FILE* (*fopen)(const char* path, const char* mode);
  int (*rename)(const char* from, const char* to);
  int (*remove)(const char* path);
  // For new files renamed into place within one folder. With `exclusive`, renameat fails (EEXIST)
  // when `to` exists, or with EINVAL where the file system cannot tell (linkat is then the way).
  int (*renameat)(int from_dir, const char* from, int to_dir, const char* to, bool exclusive);
  int (*linkat)(int from_dir, const char* from, int to_dir, const char* to, int flags);
  int (*unlinkat)(int dir, const char* name, int flags);
  int (*fsync)(int fd);
  // posix_fadvise: 0, or the error number.
  int (*fadvise)(int fd, off_t offset, off_t n, int advice);
  ssize_t (*readlink)(const char* path, char* buffer, size_t n);
  int (*mkdir)(const char* path, mode_t mode);
  uid_t (*geteuid)();
};
#endif

// The table in use; tests assign to its entries and put the real one back afterwards.
SystemCalls& system_calls();
const SystemCalls& real_system_calls();

// ---- Reading -------------------------------------------------------------------------------------

// One state of one file: what it is (device and inode; volume and file index on Windows), its
// size and the times of its last write and last change (ns; whole seconds on Windows). Two equal
// stamps: the same file, not written in between as far as the system tells.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at `path`, the name itself not followed (in a held folder, taken
// from it as ReadableFile opens); false when there is none, or it is a link or not a regular file.
bool file_stamp(const std::string& path, FileStamp& stamp);

// A regular file opened for reading. Opening never waits (a FIFO fails at once) and anything that
// is not a regular file (a folder, a device, a FIFO) is refused with "not a regular file". In a
// held folder a link, as the file or on its way, is refused too ("links are not followed").
// A failed open or read gives an Error record (`what` tried, the system's reason, the path).
class ReadableFile {
 public:
  // On failure `error` holds the record and nothing is open.
  ReadableFile(const std::string& path, std::optional<Error>& error, const char* what = "Opening the file");
  ~ReadableFile();
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  std::int64_t length() const { return length_; }
  // The file as it was opened (from the open file, not its name).
  const FileStamp& stamp() const { return stamp_; }
  const std::string& path() const { return path_; }
  // Up to n bytes at offset into `got`; fewer only at the end of the file.
  std::optional<Error> read(std::int64_t offset, void* out, std::size_t n, std::size_t& got);
  // Up to n bytes at offset that the system holds in memory already, read without waiting for the
  // device; returns how many (none where the system cannot tell). Never throws.
  std::size_t read_cached(std::int64_t offset, void* out, std::size_t n);
  // The first offset at or after `offset` that may hold data: past the hole the file system
  // reports there (a hole reads as zeros), but never into the file's last 64 KiB; `offset` itself
  // where the system cannot tell (Windows). Never throws.
  std::int64_t next_data(std::int64_t offset);
  // Advice that the file is now read from start to end, so that the system reads ahead of the
  // reads (a file is opened with the advice that it is read at a few places). Never throws.
  void reading_in_sequence();
  // Asks the system to bring n bytes at offset into memory without waiting for them; false where it
  // cannot (Windows), and the caller reads them instead. Never throws.
  bool bring_in(std::int64_t offset, std::int64_t n);

 private:
  std::optional<Error> open(const char* what);

  std::string path_;
  int fd_ = -1;
  std::int64_t length_ = 0;
  FileStamp stamp_;
  bool may_have_holes_ = true;  // false when the blocks the file occupies cover its length
};

// The whole content of a regular file of at most max_size bytes, held once in `bytes`. A larger
// file is not read: EFBIG, with the size found in the record.
std::optional<Error> read_regular_file(const std::string& path, std::uint64_t max_size, std::string& bytes);

// ---- Writing -------------------------------------------------------------------------------------

// A file that replaces another is a new file renamed into place: see platform/output_file.h.

enum class CreateOutcome { kCreated, kAlreadyThere };

// Creates the file folder + relative_name holding `bytes`, only as a new file and only inside the
// folder: the folder is opened once, every component below it is opened without following links,
// and the file itself is created exclusively. An existing regular file of that name is left as it
// is (AlreadyThere). A name that leaves the folder, a link or anything but a regular file in the
// way and a reserved device name on Windows are refused (kErrRefused); a failed system call gives
// its errno.
std::optional<Error> create_new_file_beneath(const std::string& folder, const std::string& relative_name,
                                             const std::string& bytes, CreateOutcome& outcome);

enum class EntryType;
struct FileIdentity;

// A new file written beside a name and renamed over it at the end: the way every file that
// replaces another is written (platform/output_file.h keeps the rules of a user's file on top of
// it). The folder is the one named, links and all, opened once (not on Windows); the new file is
// created exclusively without following a link, and removed again unless it was put in place.
// Never throws: each step returns false with errno set.
class FileBeside {
 public:
  FileBeside() = default;
  ~FileBeside();
  FileBeside(const FileBeside&) = delete;
  FileBeside& operator=(const FileBeside&) = delete;

  // Opens `folder` (ending in its separator; empty for the current folder), which holds `name`.
  bool open(const std::string& folder, const std::string& name);
  // What stands at the name, the name not followed: `kind` empty when nothing does. The identity is
  // taken when `with_identity` (on other systems always).
  bool look(std::optional<EntryType>& kind, FileIdentity& identity, bool with_identity) const;
  // Creates the new file as `temporary_name` in the folder; EEXIST when that name is taken.
  bool create(const std::string& temporary_name);
  bool write(std::string_view bytes);
  // Flushes the new file to the disk and closes it.
  bool finish();
  // Renames the new file over the name; without `replace` only to a free name (EEXIST when taken).
  bool place(bool replace);
  // Removes the new file unless it was placed, and closes what is open.
  void discard();

 private:
  std::string folder_path_;  // the folder as named (Windows)
  std::string name_;
  std::string temp_;  // the new file: its name in the folder (its path on Windows)
  int folder_ = -1;   // the folder, held (not on Windows)
  int file_ = -1;
};

// Bytes too many to keep in memory, held in a file that only this run uses: created exclusively,
// without following links, under a unique name in `folder`, and gone with the object (its name
// goes at once where the system lets an open file lose it).
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& folder);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Adds `bytes`; false once anything has failed (nothing more is written then). size() counts the
  // bytes of the appends that succeeded whole.
  bool append(std::string_view bytes);
  std::uint64_t size() const { return size_; }
  // Hands the first size() bytes to `take` in pieces, in order; false when a read fails or `take`
  // returns false. Nothing can be appended after the first read.
  bool read_back(const std::function<bool(std::string_view)>& take);

 private:
  std::string path_;  // the file's path where it keeps its name (Windows)
  int file_ = -1;
  bool failed_ = false;
  std::uint64_t size_ = 0;
};

// A name beside `name` that no one else picks: a dot, a piece of the name (whole characters, short
// enough to stay within the longest name), a dot and random hex digits.
std::string temporary_name(const std::string& name);

// A stdio stream through the table (for code that writes with stdio); nullptr with errno set.
std::FILE* open_stream(const std::string& path, const char* mode);
// Renames (replacing the target); false with errno set.
bool rename_file(const std::string& from, const std::string& to);
bool remove_file(const std::string& path);

// ---- Folders and names ---------------------------------------------------------------------------

enum class EntryType { kFile, kFolder, kLink, kOther };

struct FolderEntry {
  std::string name;
  EntryType type = EntryType::kOther;  // of the entry itself: a link is Link, whatever it points at
  bool leads_to_folder = false;       // a folder, or a link to one
};

// The entries of a folder, without "." and "..", in the order the system gives them. With
// follow_last false, and always in a held folder, the folder's own last component must not be a
// link (ELOOP). Returns false with
// `error` set (an errno value) when the folder cannot be opened or read.
bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries, int& error,
                 bool follow_last = true);

// The kind of the path itself (a link is Link); false with errno when it does not exist.
bool entry_type(const std::string& path, EntryType& type);

// True when `path` itself is a link (a symbolic link; any reparse point on Windows), taken by its
// path, not from a held folder.
bool is_symbolic_link(const std::string& path);

// Device and inode (volume serial and file index on Windows) of what path leads to, following
// links; false when it cannot be taken.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool file_identity(const std::string& path, FileIdentity& identity);

// True when one component of the name, as Windows reads it, is a reserved device name (CON, PRN,
// AUX, NUL, COM0-9, LPT0-9, COM and LPT with a superscript 1, 2 or 3, with or without an
// extension, any letter case, trailing dots or blanks) or holds ":" (an alternate data stream).
// Both separators count.
bool names_windows_device(const std::string& relative_name);

// True when folder + name stays inside the folder: not empty, no NUL, not absolute, no drive or
// root prefix, no ".." component. Both separators count.
bool name_stays_inside(const std::string& relative_name);

// ---- Held folders --------------------------------------------------------------------------------

// A folder opened once and held for a run. While it is held, every operation of this module that
// reads, lists, creates in or looks at a path starting with the folder's text (ReadableFile,
// read_regular_file, list_folder, entry_type, create_new_file_beneath) takes the rest of the path
// from the held folder, one component at a time, and never follows a link there: a link below a
// held folder is neither listed through nor read. The folder's own path is not looked at again.
// The held folder with the longest text wins. Paths outside every held folder work as before.
// Held folders may be made and ended on any thread.
class HeldFolder {
 public:
  // Opens `folder` (a folder text, with or without its separator). Below a held folder it is
  // reached from that one without following links; elsewhere by its path, following links in it
  // (the user named it). On failure nothing is held and error() tells why (an errno value).
  explicit HeldFolder(const std::string& folder);
  ~HeldFolder();
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

  bool held() const { return error_ == 0; }
  int error() const { return error_; }
  // Device and inode (volume and file index on Windows) of the folder held.
  const FileIdentity& identity() const { return identity_; }

 private:
  std::uint64_t id_ = 0;
  int error_ = 0;
  FileIdentity identity_;
};

// The held folder a path lies in, kept alive for as long as the reference lives (empty when the
// path lies in none). A thread that works for a run hands it to PinHeld.
struct HeldEntry;
using HeldRef = std::shared_ptr<const HeldEntry>;
HeldRef held_folder_of(const std::string& path);

// While it lives, paths in the pinned folder resolve from it on this thread, even when the run
// that held it has ended its HeldFolder meanwhile (the read-ahead threads).
class PinHeld {
 public:
  explicit PinHeld(HeldRef folder);
  ~PinHeld();
  PinHeld(const PinHeld&) = delete;
  PinHeld& operator=(const PinHeld&) = delete;

 private:
  bool pinned_ = false;
};

// ---- Standard streams ----------------------------------------------------------------------------

// Reopens standard input, output and error on the null device when they are closed, so that no
// file opened later receives their numbers. Output and error are opened for reading only: a write
// to a stream that was closed still fails (EBADF) and is reported. A broken pipe is a failed write
// (EPIPE), never a signal that ends the process. Call before anything else is opened.
void secure_standard_streams();

// Writes all bytes to standard output (or error); false with errno set when a write fails.
bool write_standard_output(const std::string& bytes);
bool write_standard_error(const std::string& bytes);

}  // namespace qn::platform
