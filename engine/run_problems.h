#pragma once
// What of a run needs a look, decided once for every front end's problem lines: the entries that
// failed, are missing or got no verdict (as the run hands them over), then the files no line
// names, the failed steps, and a run that verified nothing. Each front end words them its own way.
#include <string>
#include <vector>

#include "engine/run_result.h"

namespace qn {

// An entry that failed, is missing, or has no verdict.
bool needs_a_look(const EntryResult& entry);

struct RunProblem {
  enum class Kind { kAdditional, kStepError, kNothingVerified };
  Kind kind = Kind::kStepError;
  std::string name;         // kAdditional: the file's name in the run's folder
  int number = 0;           // kStepError
  std::string description;  // kStepError; kNothingVerified: why, as the report says it
  std::string context;      // kStepError
};

// The problems of a finished run beside its entries, in that order: additional files, failed
// steps (those kept), nothing verified. Empty when the run found nothing else wrong.
std::vector<RunProblem> run_problems(const RunResult& result);

}  // namespace qn
