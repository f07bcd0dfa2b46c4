#pragma once
// One run's checks made ahead of its checking loop by the workers of a JobPool: the fingerprint
// check and, with `--deep`, the deep check of the tracks of the next entries. The loop still takes
// every entry in checksum-file order and reports it; it takes a check made ahead only when the
// file is provably the one it would open now (the same file, unchanged since the worker opened
// it) and the check was made as it would make it now. Anything else is checked in the loop.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "audio/check_audio_file.h"
#include "engine/checksum_file.h"
#include "engine/content_checks.h"
#include "engine/job_pool.h"

namespace qn {

// The file an entry's check will open and the entry's fingerprint field.
struct PlannedCheck {
  std::string path;
  TrackFingerprint fingerprint;
};

class CheckQueue {
 public:
  // Turns a checksum line into its planned check, or nothing (a name found only by a looser
  // match, a placeholder, a name that is refused).
  using Planner = std::function<std::optional<PlannedCheck>(const std::string& line)>;

  // Without a pool every check is made when its entry asks for it.
  CheckQueue(JobPool* pool, const ChecksumFile& checksums, Planner planner, bool deep);
  ~CheckQueue();
  CheckQueue(const CheckQueue&) = delete;
  CheckQueue& operator=(const CheckQueue&) = delete;

  // Entry `entry` (from 0, one per line read) is about to be checked; the entries planned now
  // are checked with `options`.
  void checking(std::uint64_t entry, ID3Options options);
  // CheckAudioFile(path, fingerprint, options, facts) for entry `entry`. Throws as it does.
  std::string fingerprint_check(std::uint64_t entry, const std::string& path, const TrackFingerprint& fingerprint,
                                ID3Options options, AudioCheckFacts* facts);
  // The deep check of `path` for entry `entry`.
  ContentOutcome content_check(std::uint64_t entry, const std::string& path);

  struct Slot;
  struct Shared;
  struct ContentJob;

 private:
  void hand_out();

  JobPool* pool_;
  const ChecksumFile& checksums_;
  Planner planner_;
  bool deep_;
  std::size_t position_;
  std::uint64_t planned_ = 0;
  std::uint64_t ahead_;
  std::shared_ptr<Shared> shared_;  // the fingerprint checks not yet taken, shared with the workers
  struct Planned {
    std::shared_ptr<Slot> fingerprint;
    std::shared_ptr<ContentJob> content;
  };
  std::map<std::uint64_t, Planned> planned_jobs_;
};

}  // namespace qn
