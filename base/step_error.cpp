#include "base/step_error.h"

#include <cerrno>
#include <cstring>

namespace qn {

void throw_io_error(const std::string& what, const std::string& path) {
  int err = errno;
  if (err == 0) throw StepError(kErrFileAccess, what + " failed: " + path);
  throw StepError(err, what + " failed: " + std::strerror(err) + ": " + path);
}

}  // namespace qn
