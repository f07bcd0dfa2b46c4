#include "engine/run_problems.h"

namespace qn {

namespace {

// What the report says when a run found nothing to verify.
std::string nothing_verified_text(const RunResult& result) {
  if (result.kind != FolderKind::kLabels) return "No Quarnell audio files found";
  if (result.checksum_file.empty()) return "No matching .qn file found";
  return "No Quarnell Image Files found";
}

}  // namespace

bool needs_a_look(const EntryResult& entry) {
  return entry.status == EntryStatus::kFail || entry.status == EntryStatus::kMissing ||
         entry.status == EntryStatus::kNoVerdict;
}

std::vector<RunProblem> run_problems(const RunResult& result) {
  std::vector<RunProblem> problems;
  for (const std::string& name : result.additional_files) {
    RunProblem problem;
    problem.kind = RunProblem::Kind::kAdditional;
    problem.name = name;
    problems.push_back(std::move(problem));
  }
  for (const StepErrorRecord& error : result.errors) {
    RunProblem problem;
    problem.kind = RunProblem::Kind::kStepError;
    problem.number = error.number;
    problem.description = error.description;
    problem.context = error.context;
    problems.push_back(std::move(problem));
  }
  if (result.nothing_verified) {
    RunProblem problem;
    problem.kind = RunProblem::Kind::kNothingVerified;
    problem.description = nothing_verified_text(result);
    problems.push_back(std::move(problem));
  }
  return problems;
}

}  // namespace qn
