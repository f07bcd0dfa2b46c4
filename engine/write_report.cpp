#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/verify.h"
#include "platform/file_handle.h"

namespace qn {

bool write_report(const std::string& report_path, const std::string& text, RunHost& host) {
  errno = 0;
  FileHandle f(report_path, "wb");
  bool ok = static_cast<bool>(f);
  if (ok) ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  if (!f.close()) ok = false;
  if (!ok) {
    int err = errno;
    host.show_error(err ? err : 75,
                   std::string("Writing the report failed") + (err ? std::string(": ") + std::strerror(err) : ""),
                   report_path);
  }
  return ok;
}

}  // namespace qn
