#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/verify.h"

namespace qn {

bool write_report(const std::string& report_path, const std::string& text, RunHost& host) {
  errno = 0;
  std::FILE* f = std::fopen(report_path.c_str(), "wb");
  bool ok = f != nullptr;
  if (ok) ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) {
    int err = errno;
    host.show_error(err ? err : 75,
                   std::string("Writing the report failed") + (err ? std::string(": ") + std::strerror(err) : ""),
                   report_path);
  }
  return ok;
}

}  // namespace qn
