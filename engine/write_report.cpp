#include <cerrno>
#include <cstring>

#include "engine/verify.h"
#include "platform/file_access.h"

namespace qn {

bool write_report(const std::string& report_path, const std::string& text, RunHost& host) {
  errno = 0;
  if (platform::write_whole_file(report_path, text)) return true;
  const int err = errno;
  host.show_error(err ? err : 75,
                  std::string("Writing the report failed") + (err ? std::string(": ") + std::strerror(err) : ""),
                  report_path);
  return false;
}

}  // namespace qn
