#pragma once
// The JSON document of `qnverify --json`: every run with its entries, the problems of the walk, and
// the totals. Texts are bytes from disk; bytes that are not UTF-8 become U+FFFD in the document.
// The document is written piece by piece as the runs go on, entry by entry, so that it is never
// held whole; the pieces put together are the document indented by two spaces, ending in a line feed.
#include <memory>
#include <string>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/run_result.h"

namespace qn::cli {

// "ok", "fail", "missing", "placeholder-created", "no-verdict".
const char* status_name(EntryStatus status);

// The pieces of one run's object, in order: the head, each entry, the tail. The head starts with
// no comma: the document puts one before every run but the first.
std::string json_run_head(const RunResult& run);
// With `hints`, the entry's "hint" (null when it has none); its "content" whenever it has one.
std::string json_entry(const EntryResult& entry, bool first, bool hints = false);
std::string json_run_tail(const RunResult& run, bool had_entries);

class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // The document up to the list of runs.
  std::string head() const;
  // What goes before a run's head.
  std::string before_run();
  void add_problem(const PlanItem& problem);
  // From the end of the list of runs to the end of the document.
  std::string tail(const Summary& summary, int exit_status) const;

 private:
  struct Parts;  // the JSON values, kept out of this header
  std::unique_ptr<Parts> parts_;
};

}  // namespace qn::cli
