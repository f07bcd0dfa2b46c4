#pragma once
// The runs with their entries gathered, for tests that look at entries one by one.
#include <string>
#include <vector>

#include "engine/planned_folder.h"
#include "engine/verify.h"
#include "support/test_host.h"

namespace qn::test {

struct CollectedRun : RunResult {
  std::vector<EntryResult> entries;
};

class EntryCollector : public EntrySink {
 public:
  explicit EntryCollector(std::vector<EntryResult>& entries) : entries_(entries) {}
  void entry(const EntryResult& entry) override { entries_.push_back(entry); }

 private:
  std::vector<EntryResult>& entries_;
};

// The run of `planned` with its entries gathered.
inline CollectedRun verify_collected(const PlannedFolder& planned, RunHost& host,
                                     const RunOptions& options = test_options()) {
  CollectedRun run;
  EntryCollector collector(run.entries);
  static_cast<RunResult&>(run) = verify_folder(planned, options, host, &collector);
  return run;
}

inline CollectedRun verify_audio(const std::string& folder, const std::string& checksum_path, bool create_nfo,
                                 RunHost& host, RunOptions options = test_options()) {
  options.create_nfo = create_nfo;
  return verify_collected({ItemKind::kAudio, folder, checksum_path}, host, options);
}

inline CollectedRun verify_labels(const std::string& folder, RunHost& host, const std::string& checksum_path = "") {
  return verify_collected({ItemKind::kLabels, folder, checksum_path}, host);
}

}  // namespace qn::test
