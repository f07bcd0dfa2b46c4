#pragma once
// Writing a file that a user named, so that it is never left half written, never lands where it
// was not meant to go, and never changes a file that has other names: every such file is a new
// file renamed over the name; nothing is truncated and no link at the name is followed.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_access.h"

namespace qn::platform {

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
  // The reason given when the name is taken and may not be replaced; the caller names its way out.
  const char* taken_reason = "the file exists";
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
  std::optional<OutputError> start();
  std::optional<OutputError> finish();

  std::string path_;
  OutputRules rules_;
  platform::FileBeside file_;
  bool committed_ = false;
  std::optional<OutputError> error_;
};

// The whole of `bytes` through a NewFileInPlace. Returns what failed, or nothing when written.
std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules = {});

}  // namespace qn::platform
