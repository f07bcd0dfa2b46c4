#pragma once
// The one way a call of the platform layer fails: it returns an error record (in
// std::optional<Error>, empty on success) and never throws. The record says what was tried, why
// it failed and on which path, in words of files and folders only; the caller decides what the
// failure means to the user and, in a step of a run, turns it into a StepError.
#include <cstdint>
#include <string>

#include "base/step_error.h"

namespace qn::platform {

struct Error {
  // An errno value (GetLastError mapped to one on Windows), or a number of base/step_error.h
  // where the system gave none.
  int number = 0;
  std::string what;    // what was tried: "Opening the file"
  std::string reason;  // the system's text for the number, or ours; may be empty
  std::string path;
  std::uint64_t size = 0;  // with EFBIG: the size found over the bound

  // "<what> failed: <reason>: <path>" ("<what> failed: <path>" without a reason).
  std::string text() const;
};

// The record of a call that failed with errno `err` (0: no number, then kErrFileAccess).
Error errno_error(int err, const std::string& what, const std::string& path);

// The step error with the record's number and text.
StepError step_error(const Error& error);

}  // namespace qn::platform
