#include "engine/check_queue.h"

#include <utility>

namespace qn {

namespace {

// A few entries per worker: enough that no worker waits for the loop, few enough that what is
// held stays small.
constexpr std::uint64_t kAheadPerWorker = 4;

// The file at `path` now is the one a worker opened, unchanged since.
bool same_file_now(const std::optional<platform::FileStamp>& opened, const std::string& path) {
  platform::FileStamp now;
  return opened && platform::file_stamp(path, now) && now == *opened;
}

bool operator==(const ID3Options& a, const ID3Options& b) { return a.id3v1 == b.id3v1 && a.id3v2 == b.id3v2; }

}  // namespace

struct CheckQueue::FingerprintJob : JobPool::Job {
  std::string path;
  std::string fingerprint;
  ID3Options options;
  bool checked = false;  // false: the check ended in an error, which the loop meets again
  std::string result;
  AudioCheckFacts facts;

  void run() override {
    try {
      result = CheckAudioFile(path, fingerprint, options, &facts);
      checked = true;
    } catch (...) {
    }
  }
};

struct CheckQueue::ContentJob : JobPool::Job {
  std::string path;
  ContentOutcome outcome;

  void run() override { outcome = check_content_now(path); }
};

CheckQueue::CheckQueue(JobPool* pool, const ChecksumFile& checksums, Planner planner, bool deep)
    : pool_(pool),
      checksums_(checksums),
      planner_(std::move(planner)),
      deep_(deep),
      position_(checksums.position()),
      // A deep check reads its track whole: more than one ahead per worker would only wait.
      ahead_(!pool ? 0 : deep ? static_cast<std::uint64_t>(pool->workers()) + 1
                              : kAheadPerWorker * static_cast<std::uint64_t>(pool->workers())) {}

CheckQueue::~CheckQueue() = default;

void CheckQueue::checking(std::uint64_t entry, ID3Options options) {
  planned_jobs_.erase(planned_jobs_.begin(), planned_jobs_.lower_bound(entry));
  if (!pool_) return;
  while (planned_ <= entry + ahead_ && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number < entry) continue;
    try {
      std::optional<PlannedCheck> check = planner_(line);
      if (!check) continue;
      Planned& planned = planned_jobs_[number];
      planned.fingerprint = std::make_shared<FingerprintJob>();
      planned.fingerprint->path = check->path;
      planned.fingerprint->fingerprint = std::move(check->fingerprint);
      planned.fingerprint->options = options;
      pool_->submit(planned.fingerprint, check->path);
      if (deep_) {
        planned.content = std::make_shared<ContentJob>();
        planned.content->path = std::move(check->path);
        pool_->submit(planned.content, planned.content->path);
      }
    } catch (...) {
      // The entry's own check meets the same trouble and reports it.
    }
  }
}

std::string CheckQueue::fingerprint_check(std::uint64_t entry, const std::string& path, const std::string& fingerprint,
                                          ID3Options options, AudioCheckFacts* facts) {
  auto it = planned_jobs_.find(entry);
  if (it != planned_jobs_.end() && it->second.fingerprint) {
    const std::shared_ptr<FingerprintJob> job = std::move(it->second.fingerprint);
    if (job->path == path && job->fingerprint == fingerprint && job->options == options && JobPool::finish(*job) &&
        job->checked && same_file_now(job->facts.stamp, path)) {
      if (facts) *facts = job->facts;
      return job->result;
    }
  }
  return CheckAudioFile(path, fingerprint, options, facts);
}

ContentOutcome CheckQueue::content_check(std::uint64_t entry, const std::string& path) {
  auto it = planned_jobs_.find(entry);
  if (it != planned_jobs_.end() && it->second.content) {
    const std::shared_ptr<ContentJob> job = std::move(it->second.content);
    // A failed read is made again: the file may have changed while the worker read it.
    if (job->path == path && JobPool::finish(*job) && job->outcome.error_number == 0 &&
        job->outcome.verdict.status != ContentStatus::kUnreadable && same_file_now(job->outcome.stamp, path))
      return job->outcome;
  }
  return check_content_now(path);
}

}  // namespace qn
