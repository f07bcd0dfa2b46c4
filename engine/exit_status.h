#pragma once
// Exit status of qnverify: bit flags so that scripts can tell the kinds of trouble apart.
#include "engine/run_result.h"

namespace qn {

enum ExitFlag : int {
  kExitOk = 0,
  kExitFailed = 1,      // some entry failed (" FAIL", " Fails", or no verdict at all)
  kExitMissing = 2,     // some entry missing
  kExitAdditional = 4,  // some file no entry named
  kExitStepError = 8,   // some step failed (malformed line, unreadable file)
  kExitUsage = 64,
  kExitNothingVerified = 66,
};

int exit_status_of(const RunResult& result);

}  // namespace qn
