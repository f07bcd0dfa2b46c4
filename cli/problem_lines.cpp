#include "cli/problem_lines.h"

#include "base/text.h"
#include "engine/run_problems.h"

namespace qn::cli {

namespace {

std::string line(const std::string& status, const std::string& path, const std::string& detail) {
  std::string text = status;
  text.append(status.size() < 8 ? 8 - status.size() : 0, ' ');
  text += " " + path;
  if (!detail.empty()) text += "  " + detail;
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';  // one line, whatever bytes a name holds
  return text::printable(text) + "\n";
}

std::string without_prefix(const std::string& s, const std::string& prefix) {
  return text::starts_with(s, prefix) ? s.substr(prefix.size()) : s;
}

}  // namespace

std::string problem_line(const EntryResult& entry, const std::string& folder, const PathDisplay& display) {
  std::string path = display.show(entry.found_path.empty() ? folder + entry.expected : entry.found_path);
  std::string id3 = text::trim_blanks(entry.id3_suffix);
  const bool content_failed = entry.content && entry.content->status == "fail";
  const std::string content = content_failed ? line("CONTENT-FAIL", path, entry.content->detail) : "";
  if (!needs_a_look(entry)) return "";
  if (entry.status == EntryStatus::kMissing) return line("MISSING", path, "");
  if (entry.status == EntryStatus::kNoVerdict) return line("NO-VERDICT", path, "") + content;
  std::string failures;
  for (const std::string& verdict : entry.verdicts) {
    if (verdict == " OK") continue;
    failures += (failures.empty() ? "" : " ") + without_prefix(verdict, " FAIL ");
  }
  const std::string hint = entry.hint.empty() ? "" : "  hint: " + entry.hint;
  std::string lines;
  if (!failures.empty()) lines = line("FAIL", path, failures + (id3.empty() ? "" : " " + id3) + hint);
  else if (text::contains(id3, "Fails") || !content_failed) lines = line("ID3-FAIL", path, id3 + hint);
  return lines + content;
}

namespace {

std::string error_detail(int number, const std::string& message, const std::string& context) {
  std::string detail = "error " + std::to_string(number) + ": " + message;
  if (!context.empty()) detail += " [" + context + "]";
  return detail;
}

std::string plural(long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string PathDisplay::show(const std::string& absolute) const {
  if (!text::starts_with(absolute, root)) return absolute;
  std::string shown = shown_prefix + absolute.substr(root.size());
  return shown.empty() ? "." : shown;
}

std::string problem_lines(const RunResult& result, const PathDisplay& display) {
  std::string text;
  const std::string folder = display.show(result.folder);
  for (const RunProblem& problem : run_problems(result)) {
    switch (problem.kind) {
      case RunProblem::Kind::kAdditional: text += line("EXTRA", display.show(result.folder + problem.name), ""); break;
      case RunProblem::Kind::kStepError:
        text += line("ERROR", folder, error_detail(problem.number, problem.description, problem.context));
        break;
      case RunProblem::Kind::kNothingVerified: text += line("ERROR", folder, problem.description); break;
    }
  }
  return text;
}

std::string problem_lines(const PlanItem& problem, const PathDisplay& display) {
  return line("ERROR", display.show(problem.folder), error_detail(problem.error_number, problem.message, ""));
}

std::string tally_line(const Summary& summary) {
  const RunCounts& c = summary.totals();
  return "qnverify: " + plural(c.entries, "entry", "entries") + " in " +
         plural(summary.folder_count(), "folder", "folders") + ": " + std::to_string(c.ok) + " OK, " + fail_text(c) +
         ", " + std::to_string(c.missing) + " MISSING, " +
         std::to_string(c.additional) + " additional, " + plural(c.errors, "error", "errors") + "\n";
}

}  // namespace qn::cli
