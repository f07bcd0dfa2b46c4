#include "ui/window/collection_report.h"

#include <cstdio>

namespace qn {

namespace {

std::string clock_of(double seconds) {
  long total = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

}  // namespace

std::string collection_status_text(int folders_done, int folders_total, double elapsed_seconds) {
  int current = folders_done < folders_total ? folders_done + 1 : folders_total;
  std::string text = "Folder " + std::to_string(current) + " of " + std::to_string(folders_total);
  if (folders_done > 0 && folders_done < folders_total)
    text += ", about " + clock_of(elapsed_seconds / folders_done * (folders_total - folders_done)) + " left";
  return text;
}

void ProblemEntryLines::entry(const EntryResult& entry) {
  if (entry.status == EntryStatus::kFail || entry.status == EntryStatus::kMissing ||
      entry.status == EntryStatus::kNoVerdict)
    lines += entry.report_line + "\r\n";
}

std::string problem_lines(const RunResult& result, const std::string& report_file, const std::string& entry_lines) {
  std::string lines = entry_lines;
  for (const std::string& name : result.additional_files) lines += "additional: " + name + "\r\n";
  for (const StepErrorRecord& error : result.errors) {
    lines += "error " + std::to_string(error.number) + ": " + error.description;
    if (!error.context.empty()) lines += " (" + error.context + ")";
    lines += "\r\n";
  }
  if (result.nothing_verified) lines += "error: nothing could be verified\r\n";
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
