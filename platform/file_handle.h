#pragma once
// A C stream that closes itself, opened through the file-access module. close() reports whether the final flush and close succeeded.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/file_access.h"

namespace qn::platform {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(const std::string& path, const char* mode) : file_(open_stream(path, mode)) {}
  explicit operator bool() const { return file_ != nullptr; }
  std::FILE* get() const { return file_.get(); }
  void reset(std::FILE* f) { file_.reset(f); }
  // Closes now; false when the close (and its flush) failed.
  bool close() { return file_ ? std::fclose(file_.release()) == 0 : true; }

 private:
  std::unique_ptr<std::FILE, FileCloser> file_;
};

}  // namespace qn::platform
