#pragma once
// The runs with their entries gathered, for tests that look at entries one by one.
#include <string>
#include <vector>

#include "engine/verify.h"

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

inline CollectedRun verify_audio(const std::string& folder, const std::string& checksum_path, bool create_nfo,
                                 RunHost& host) {
  CollectedRun run;
  EntryCollector collector(run.entries);
  static_cast<RunResult&>(run) = VerifyAudioFolder(folder, checksum_path, create_nfo, host, &collector);
  return run;
}

inline CollectedRun verify_labels(const std::string& folder, RunHost& host, const std::string& checksum_path = "") {
  CollectedRun run;
  EntryCollector collector(run.entries);
  static_cast<RunResult&>(run) = VerifyLabelFolder(folder, host, checksum_path, &collector);
  return run;
}

}  // namespace qn::test
