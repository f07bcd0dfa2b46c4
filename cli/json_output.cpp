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
          {"missing", c.missing}, {"additional", c.additional}, {"errors", c.errors},
          {"tags_only", c.tags_only}};
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

json number_or_null(std::int64_t n) { return n < 0 ? json(nullptr) : json(n); }

json entry_json(const EntryResult& entry, bool hints) {
  std::string channel = text::trim_blanks(entry.channel_label);
  json out = {
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
      {"tags_only", tags_only_failure(entry)},
      {"note", entry.note},
      {"report_line", entry.report_line + entry.note + (entry.content ? entry.content->text : "")},
      {"step_failed", entry.step_failed},
  };
  if (entry.content) {
    const EntryContent& c = *entry.content;
    out["content"] = {{"status", c.status},
                      {"method", text_or_null(c.method)},
                      {"detail", text_or_null(c.detail)},
                      {"offset", number_or_null(c.offset)},
                      {"frame", number_or_null(c.frame)}};
  }
  if (hints) out["hint"] = text_or_null(entry.hint);
  return out;
}

// A value as dump() writes it inside the document, `depth` levels in (two spaces each).
std::string dumped(const json& value, int depth) {
  std::string text = text::escape_hidden_controls(value.dump(2, ' ', false, json::error_handler_t::replace));
  const std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
  std::string out;
  out.reserve(text.size());
  for (char c : text) {  // a line feed inside a text is escaped, so each one here ends a line
    out += c;
    if (c == '\n') out += pad;
  }
  return out;
}

// The members of an object as dump() writes them `depth` levels in, without the braces: each
// member on its own line, separated by commas.
std::string members(const json& object, int depth) {
  std::string text = dumped(object, depth);
  // "{" + members + "\n" + pad + "}"
  return text.substr(1, text.size() - 1 - 1 - 1 - static_cast<std::size_t>(depth) * 2);
}

const int kRunDepth = 2;  // the document, its "folders" list, then each run

}  // namespace

std::string json_run_head(const RunResult& run) {
  json head = {
      {"path", run.folder},
      {"kind", kind_name(run.kind)},
      {"checksum_file", text_or_null(run.checksum_file)},
      {"files", run.file_count},
      {"verified", !run.nothing_verified},
  };
  return "\n" + std::string(kRunDepth * 2, ' ') + "{" + members(head, kRunDepth) + ",\n" +
         std::string(kRunDepth * 2 + 2, ' ') + "\"entries\": [";
}

std::string json_entry(const EntryResult& entry, bool first, bool hints) {
  const int depth = kRunDepth + 2;
  return (first ? "\n" : ",\n") + std::string(depth * 2, ' ') + dumped(entry_json(entry, hints), depth);
}

std::string json_run_tail(const RunResult& run, bool had_entries) {
  json errors = json::array();
  for (const StepErrorRecord& error : run.errors)
    errors.push_back({{"number", error.number}, {"message", error.description}, {"context", error.context}});
  json tail = {
      {"additional_files", run.additional_files},
      {"errors", std::move(errors)},
      {"counts", counts_json(counts_of(run))},
  };
  std::string text = had_entries ? "\n" + std::string(kRunDepth * 2 + 2, ' ') + "]" : "]";
  return text + "," + members(tail, kRunDepth) + "\n" + std::string(kRunDepth * 2, ' ') + "}";
}

namespace {

json problem_json(const PlanItem& problem) {
  return {{"path", problem.folder}, {"number", problem.error_number}, {"message", problem.message}};
}

}  // namespace

struct JsonDocument::Parts {
  json problems = json::array();
  long runs = 0;
};

JsonDocument::JsonDocument() : parts_(std::make_unique<Parts>()) {}
JsonDocument::~JsonDocument() = default;

std::string JsonDocument::head() const {
  json head = {{"program", "qnverify"}, {"revision", kRevisionText}};
  return "{" + members(head, 0) + ",\n  \"folders\": [";
}

std::string JsonDocument::before_run() { return parts_->runs++ > 0 ? "," : ""; }

void JsonDocument::add_problem(const PlanItem& problem) { parts_->problems.push_back(problem_json(problem)); }

std::string JsonDocument::tail(const Summary& summary, int exit_status) const {
  json totals = counts_json(summary.totals());
  totals["folders"] = summary.folder_count();
  json tail = {
      {"problems", parts_->problems},
      {"totals", std::move(totals)},
      {"exit_status", exit_status},
  };
  return std::string(parts_->runs > 0 ? "\n  ]" : "]") + "," + members(tail, 0) + "\n}\n";
}

}  // namespace qn::cli
