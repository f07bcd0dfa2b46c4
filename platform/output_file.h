#pragma once
// Writing a file that a user named, so that it is never left half written and never lands where
// it was not meant to go.
#include <string>

namespace qn {

// Writes `bytes` to a new file in the same folder and renames it to `path`, so `path` holds either
// nothing new or all of it. An existing `path` is replaced only when `replace` is true, and never
// when it is a symbolic link or not a regular file. Throws StepError (what failed, errno text and
// the path); the temporary file is removed on every failure.
void write_file_atomically(const std::string& path, const std::string& bytes, bool replace);

// True when `path` itself is a symbolic link (the link is not followed).
bool is_symbolic_link(const std::string& path);

}  // namespace qn
