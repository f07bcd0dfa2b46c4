#include "platform/error.h"

#include <cstring>

namespace qn::platform {

std::string Error::text() const {
  return what + " failed: " + (reason.empty() ? std::string() : reason + ": ") + path;
}

Error errno_error(int err, const std::string& what, const std::string& path) {
  if (err == 0) return {kErrFileAccess, what, "", path};
  return {err, what, std::strerror(err), path};
}

StepError step_error(const Error& error) { return StepError(error.number, error.text()); }

}  // namespace qn::platform
