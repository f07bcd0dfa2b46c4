#pragma once
// The JSON document of `qnverify --json`: every run with its entries, the problems of the walk, and
// the totals. Texts are bytes from disk; bytes that are not UTF-8 become U+FFFD in the document.
#include <string>

#include <nlohmann/json.hpp>

#include "cli/collection_summary.h"
#include "cli/collection_walk.h"
#include "engine/run_result.h"

namespace qn::cli {

// "ok", "fail", "missing", "placeholder-created", "no-verdict".
const char* status_name(EntryStatus status);

nlohmann::ordered_json entry_json(const EntryResult& entry);
nlohmann::ordered_json run_json(const RunResult& result);
nlohmann::ordered_json problem_json(const PlanItem& problem);

class JsonDocument {
 public:
  void AddRun(const RunResult& result) { folders_.push_back(run_json(result)); }
  void AddProblem(const PlanItem& problem) { problems_.push_back(problem_json(problem)); }
  // The whole document, indented, ending in a line feed.
  std::string Text(const Summary& summary, int exit_status) const;

 private:
  nlohmann::ordered_json folders_ = nlohmann::ordered_json::array();
  nlohmann::ordered_json problems_ = nlohmann::ordered_json::array();
};

}  // namespace qn::cli
