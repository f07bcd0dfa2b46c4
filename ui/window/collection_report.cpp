#include "ui/window/collection_report.h"

#include <cstdio>

#include "engine/collection_run.h"
#include "engine/run_problems.h"

namespace qn {

std::string collection_status_text(int folders_done, int folders_total, double elapsed_seconds) {
  int current = folders_done < folders_total ? folders_done + 1 : folders_total;
  std::string text = "Folder " + std::to_string(current) + " of " + std::to_string(folders_total);
  const std::string left = time_left_text(folders_done, folders_total, elapsed_seconds);
  if (!left.empty()) text += ", " + left;
  return text;
}

void ProblemEntryLines::entry(const EntryResult& entry) {
  if (needs_a_look(entry)) lines_ += entry.report_line + "\r\n";
}

std::string problem_lines(const RunResult& result, const std::string& report_file, const std::string& entry_lines) {
  std::string lines = entry_lines;
  for (const RunProblem& problem : run_problems(result)) {
    switch (problem.kind) {
      case RunProblem::Kind::kAdditional: lines += "additional: " + problem.name; break;
      case RunProblem::Kind::kStepError:
        lines += "error " + std::to_string(problem.number) + ": " + problem.description;
        if (!problem.context.empty()) lines += " (" + problem.context + ")";
        break;
      case RunProblem::Kind::kNothingVerified: lines += "error: nothing could be verified"; break;
    }
    lines += "\r\n";
  }
  if (lines.empty()) return lines;
  return result.folder + " (" + kind_name(result.kind) + ", report " + report_file + ")\r\n" + lines + "\r\n";
}

std::string problem_lines(const PlanItem& problem) {
  return problem.folder + "\r\nerror " + std::to_string(problem.error_number) + ": " + problem.message + "\r\n\r\n";
}

void CollectedProblems::add(const std::string& lines) {
  if (lines.empty()) return;
  if (rest_.empty() && file_.append(lines)) return;
  rest_ += lines;
}

bool CollectedProblems::read(const std::function<bool(std::string_view)>& take) {
  return file_.read_back(take) && (rest_.empty() || take(rest_));
}

std::string collection_report_head(const std::string& root, int problem_folders, int folders_done,
                                   int folders_total) {
  std::string text = "Quarnell Collection Verify\r\n";
  text += "Folder Processed " + root + "\r\n";
  text += "Folders verified: " + std::to_string(folders_done) + " of " + std::to_string(folders_total);
  text += folders_done < folders_total ? " (cancelled)\r\n" : "\r\n";
  text += "Folders with problems: " + std::to_string(problem_folders) + "\r\n\r\n";
  return text;
}

std::string run_folder_name(const std::tm& start) {
  char name[64];
  std::snprintf(name, sizeof name, "Quarnell Verify %04d-%02d-%02d %02d-%02d-%02d", start.tm_year + 1900,
                start.tm_mon + 1, start.tm_mday, start.tm_hour, start.tm_min, start.tm_sec);
  return name;
}

std::string collection_report_name(std::size_t index) {
  char number[32];
  std::snprintf(number, sizeof number, "%03zu", index);
  return std::string("Quarnell Verify ") + number + ".txt";
}

}  // namespace qn
