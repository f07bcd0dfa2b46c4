#pragma once
// The deep check of a track (`--deep`) as a run takes it: on the loop's thread, or on a worker
// ahead of the loop (engine/check_queue.h).
#include <optional>
#include <string>

#include "audio/content_check.h"
#include "platform/file_access.h"

namespace qn {

// A track's deep check as the run takes it: the verdict, or the failure to open or read the file.
struct ContentOutcome {
  ContentVerdict verdict;
  int error_number = 0;      // not 0: the file could not be opened or read
  std::string error_text;    // the step error's description, naming the file
  std::optional<platform::FileStamp> stamp;  // the file as the check opened it
};

// The check on the calling thread.
ContentOutcome check_content_now(const std::string& path);

}  // namespace qn
