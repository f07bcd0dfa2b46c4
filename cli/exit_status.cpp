#include "cli/exit_status.h"

namespace qn::cli {

int ExitStatusOf(const RunResult& result) {
  if (result.nothing_verified) return kExitNothingVerified;
  int status = kExitOk;
  for (const EntryResult& entry : result.entries) {
    switch (entry.status) {
      case EntryStatus::Fail:
      case EntryStatus::NoVerdict: status |= kExitFailed; break;
      case EntryStatus::Missing: status |= kExitMissing; break;
      case EntryStatus::Ok:
      case EntryStatus::PlaceholderCreated: break;
    }
  }
  if (!result.additional_files.empty()) status |= kExitAdditional;
  if (!result.errors.empty()) status |= kExitStepError;
  return status;
}

}  // namespace qn::cli
