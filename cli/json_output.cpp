#include "cli/json_output.h"

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "engine/verify.h"

namespace qn::cli {

using json = nlohmann::ordered_json;

namespace {

json text_or_null(const std::string& s) { return s.empty() ? json(nullptr) : json(s); }

// "OK" or "Fails" for one of the tag checks named in the ID3 suffix, else null.
json id3_result(const std::string& suffix, const std::string& tag) {
  if (text::contains(suffix, " " + tag + " OK")) return "OK";
  if (text::contains(suffix, " " + tag + " Fails")) return "Fails";
  return nullptr;
}

json counts_json(const RunCounts& c) {
  return {{"entries", c.entries}, {"ok", c.ok},           {"fail", c.fail},
          {"missing", c.missing}, {"additional", c.additional}, {"errors", c.errors}};
}

}  // namespace

const char* status_name(EntryStatus status) {
  switch (status) {
    case EntryStatus::kOk: return "ok";
    case EntryStatus::kFail: return "fail";
    case EntryStatus::kMissing: return "missing";
    case EntryStatus::kPlaceholderCreated: return "placeholder-created";
    case EntryStatus::kNoVerdict: break;
  }
  return "no-verdict";
}

namespace {

json entry_json(const EntryResult& entry) {
  std::string channel = text::trim_blanks(entry.channel_label);
  return {
      {"line", entry.line},
      {"expected", entry.expected},
      {"track_key", text_or_null(entry.track_key)},
      {"found", text_or_null(entry.found_path)},
      {"channel", text_or_null(channel)},
      {"verdicts", entry.verdicts},
      {"id3", entry.id3_suffix},
      {"id3v1", id3_result(entry.id3_suffix, "ID3v1")},
      {"id3v2", id3_result(entry.id3_suffix, "ID3v2")},
      {"status", status_name(entry.status)},
      {"note", entry.note},
      {"report_line", entry.report_line + entry.note},
      {"step_failed", entry.step_failed},
  };
}

json run_json(const RunResult& result) {
  json entries = json::array();
  for (const EntryResult& entry : result.entries) entries.push_back(entry_json(entry));
  json errors = json::array();
  for (const StepErrorRecord& error : result.errors)
    errors.push_back({{"number", error.number}, {"message", error.description}, {"context", error.context}});
  return {
      {"path", result.folder},
      {"kind", kind_name(result.kind)},
      {"checksum_file", text_or_null(result.checksum_file)},
      {"files", result.file_count},
      {"verified", !result.nothing_verified},
      {"entries", std::move(entries)},
      {"additional_files", result.additional_files},
      {"errors", std::move(errors)},
      {"counts", counts_json(counts_of(result))},
  };
}

json problem_json(const PlanItem& problem) {
  return {{"path", problem.folder}, {"number", problem.error_number}, {"message", problem.message}};
}

}  // namespace

struct JsonDocument::Parts {
  json folders = json::array();
  json problems = json::array();
};

JsonDocument::JsonDocument() : parts_(std::make_unique<Parts>()) {}
JsonDocument::~JsonDocument() = default;

void JsonDocument::add_run(const RunResult& result) { parts_->folders.push_back(run_json(result)); }
void JsonDocument::add_problem(const PlanItem& problem) { parts_->problems.push_back(problem_json(problem)); }

std::string JsonDocument::text(const Summary& summary, int exit_status) const {
  json totals = counts_json(summary.totals());
  totals["folders"] = summary.folder_count();
  json document = {
      {"program", "qnverify"},
      {"revision", kRevisionText},
      {"folders", parts_->folders},
      {"problems", parts_->problems},
      {"totals", std::move(totals)},
      {"exit_status", exit_status},
  };
  return text::escape_hidden_controls(document.dump(2, ' ', false, json::error_handler_t::replace)) + "\n";
}

}  // namespace qn::cli
