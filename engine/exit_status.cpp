#include "engine/exit_status.h"

namespace qn {

int exit_status_of(const RunResult& result) {
  if (result.nothing_verified) return kExitNothingVerified;
  int status = kExitOk;
  if (result.tally.fail + result.tally.no_verdict > 0) status |= kExitFailed;
  if (result.tally.missing > 0) status |= kExitMissing;
  if (!result.additional_files.empty()) status |= kExitAdditional;
  if (result.error_count > 0) status |= kExitStepError;
  return status;
}

}  // namespace qn
