#pragma once
// Writing a file that a user named, so that it is never left half written and never lands where
// it was not meant to go.
#include <optional>
#include <string>

namespace qn {

struct OutputError {
  int number = 0;           // errno, or one of our error numbers
  std::string description;  // what failed, and the path
};

// Writes `bytes` to a new file in the same folder and renames it to `path`, so `path` holds either
// nothing new or all of it. An existing `path` is replaced only when `replace` is true, and never
// when it is a symbolic link or not a regular file. Returns what failed, or nothing when written;
// the temporary file is removed on every failure.
std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes, bool replace);

// True when `path` itself is a symbolic link (the link is not followed).
bool is_symbolic_link(const std::string& path);

}  // namespace qn
