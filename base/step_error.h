#pragma once
// The error a failing step of a run raises. The run catches it at the step boundary, reports it
// through its host (number, description, context line) and goes on with the next step.
#include <stdexcept>
#include <string>

namespace qn {

// Error numbers of our own steps; I/O failures carry errno instead.
enum ErrorNumber : int {
  kErrInvalidArgument = 5,   // a text too short for the step, a missing piece
  kErrSubscript = 9,         // a field the step needs is absent
  kErrTypeMismatch = 13,     // a field that is not the number it must be
  kErrPatternInvalid = 93,   // an invalid pattern (unclosed "[")
  kErrRefused = 70,          // a write outside the verified folder was refused
  kErrFileAccess = 75,       // a path/file access error without errno
};

class StepError : public std::runtime_error {
 public:
  StepError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// Throws a StepError for a failed I/O operation on `path`, with errno and its text.
[[noreturn]] void throw_io_error(const std::string& what, const std::string& path);

}  // namespace qn
