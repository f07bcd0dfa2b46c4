#pragma once
// Writing a file that a user named, so that it is never left half written, never lands where it
// was not meant to go, and never changes a file that has other names: every such file is a new
// file renamed over the name; nothing is truncated and no link at the name is followed.
#include <optional>
#include <span>
#include <string>

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

// Writes `bytes` to a new file of a unique name in the folder of `path` (opened once; created
// exclusively, without following links), flushes it to the disk and renames it over `path`. A link
// at the name is replaced, never followed; a hard link's other names keep their bytes; anything
// but a regular file or a link at the name is refused. Returns what failed, or nothing when
// written; the temporary file is removed on every failure.
std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules = {});

// True when `path` itself is a symbolic link (the link is not followed).
bool is_symbolic_link(const std::string& path);

}  // namespace qn
