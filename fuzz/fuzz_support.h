#pragma once
// Helpers shared by the fuzz targets: a scratch file that the target rewrites for every input, and
// the split of one input into several byte strings.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

namespace qn::fuzz {

// A file under the temporary folder named after the process, so parallel jobs do not share it.
// Removed when the process exits normally.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& suffix) {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/qn-fuzz-" + std::to_string(::getpid()) + suffix;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }

  // Replaces the file's content with the bytes.
  const std::string& write(std::string_view bytes) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Takes the bytes up to the next separator (or the rest) off the front of `rest`.
inline std::string take_piece(std::string_view& rest, char separator) {
  const std::size_t at = rest.find(separator);
  std::string piece(rest.substr(0, at));
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return piece;
}

}  // namespace qn::fuzz
