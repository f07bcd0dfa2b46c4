#include "engine/exit_status.h"

namespace qn {

int exit_status_of(const RunResult& result) {
  if (result.nothing_verified) return kExitNothingVerified;
  int status = kExitOk;
  for (const EntryResult& entry : result.entries) {
    switch (entry.status) {
      case EntryStatus::kFail:
      case EntryStatus::kNoVerdict: status |= kExitFailed; break;
      case EntryStatus::kMissing: status |= kExitMissing; break;
      case EntryStatus::kOk:
      case EntryStatus::kPlaceholderCreated: break;
    }
  }
  if (!result.additional_files.empty()) status |= kExitAdditional;
  if (!result.errors.empty()) status |= kExitStepError;
  return status;
}

}  // namespace qn
