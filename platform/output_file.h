#pragma once
// Writing a file that a user named, so that it is never left half written, never lands where it
// was not meant to go, and never changes a file that has other names: every such file is a new
// file renamed over the name; nothing is truncated and no link at the name is followed.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_access.h"

namespace qn {

struct OutputError {
  int number = 0;           // errno, or one of our error numbers
  std::string description;  // what failed, and the path
  std::string reason;       // what failed, without the path
  bool kept_file = false;   // refused: the name stands for one of OutputRules::kept
};

// What may stand at the name that a new file replaces.
struct OutputRules {
  bool replace = true;        // an existing file may be replaced; without it the name must be free
  bool refuse_links = false;  // a link found at the name at the start is refused rather than replaced
  // Files never replaced under any name (those a run reads): the name is looked up at the start and
  // again just before the rename, without following a link.
  std::span<const platform::FileIdentity> kept;
};

// A new file of a unique name in the folder of `path` (opened once; created exclusively, without
// following links), written piece by piece and then flushed to the disk and renamed over `path`.
// A link at the name is replaced, never followed; a hard link's other names keep their bytes;
// anything but a regular file or a link at the name is refused. The name is looked at when the
// file is created and again just before the rename. The temporary file is removed on every
// failure, and when the object goes without commit().
class NewFileInPlace {
 public:
  // `rules.kept` must outlive the object. A failure here is kept and returned by commit().
  explicit NewFileInPlace(const std::string& path, const OutputRules& rules = {});
  ~NewFileInPlace();
  NewFileInPlace(const NewFileInPlace&) = delete;
  NewFileInPlace& operator=(const NewFileInPlace&) = delete;

  // Adds `bytes` to the new file. False once anything has failed: the first failure is kept, the
  // temporary file is removed at once and nothing more is written.
  bool append(std::string_view bytes);
  // Puts the file in place; returns the first failure of all (creating, appending, flushing, the
  // last look at the name, the rename), or nothing when the file stands at the name.
  std::optional<OutputError> commit();
  // The first failure so far.
  const std::optional<OutputError>& error() const { return error_; }

 private:
  void discard();

  std::string path_;
  OutputRules rules_;
  std::string name_;  // the last component of path_
  std::string temp_;  // the temporary file: its name in the folder (its path on Windows)
  int folder_ = -1;   // the folder, held (not on Windows)
  int file_ = -1;
  bool committed_ = false;
  std::optional<OutputError> error_;
};

// The whole of `bytes` through a NewFileInPlace. Returns what failed, or nothing when written.
std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules = {});

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

// True when `path` itself is a symbolic link (the link is not followed).
bool is_symbolic_link(const std::string& path);

}  // namespace qn
