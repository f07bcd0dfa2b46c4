#pragma once
// The JSON document of `qnverify --json`: every run with its entries, the problems of the walk, and
// the totals. Texts are bytes from disk; bytes that are not UTF-8 become U+FFFD in the document.
#include <memory>
#include <string>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn::cli {

// "ok", "fail", "missing", "placeholder-created", "no-verdict".
const char* status_name(EntryStatus status);

class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  void add_run(const RunResult& result);
  void add_problem(const PlanItem& problem);
  // The whole document, indented, ending in a line feed.
  std::string text(const Summary& summary, int exit_status) const;

 private:
  struct Parts;  // the JSON values, kept out of this header
  std::unique_ptr<Parts> parts_;
};

}  // namespace qn::cli
