#include "engine/check_queue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace qn {

namespace {

// Fingerprint checks planned per worker. A check takes some 20 microseconds on a warm cache, so
// they are handed out in runs: the workers are woken once per run, not once per check.
constexpr std::uint64_t kAheadPerWorker = 32;

// The file at `path` now is the one a worker opened, unchanged since.
bool same_file_now(const std::optional<platform::FileStamp>& opened, const std::string& path) {
  platform::FileStamp now;
  return opened && platform::file_stamp(path, now) && now == *opened;
}

bool operator==(const ID3Options& a, const ID3Options& b) { return a.id3v1 == b.id3v1 && a.id3v2 == b.id3v2; }

}  // namespace

struct CheckQueue::Slot {
  std::string path;
  TrackFingerprint fingerprint;
  ID3Options options;
  platform::HeldRef folder;  // the held folder the run opens the file from
  enum class State { kWaiting, kRunning, kDone, kTakenBack } state = State::kWaiting;  // under Shared::mutex
  bool checked = false;  // false: the check ended in an error, which the loop meets again
  std::string result;
  AudioCheckFacts facts;

  void run() {
    try {
      result = CheckAudioFile(path, fingerprint, options, &facts);
      checked = true;
    } catch (...) {
    }
  }
};

struct CheckQueue::Shared {
  std::mutex mutex;
  std::condition_variable done;
  std::deque<std::shared_ptr<Slot>> waiting;  // in entry order
  int workers_in = 0;                         // workers taking checks from `waiting` now
  int most_workers = 1;
  bool loop_waits = false;

  // A worker's next check, after marking `finished` done; null when none is left, and the worker
  // leaves the run.
  std::shared_ptr<Slot> next(const std::shared_ptr<Slot>& finished) {
    std::lock_guard<std::mutex> lock(mutex);
    if (finished) {
      finished->state = Slot::State::kDone;
      if (loop_waits) done.notify_all();
    }
    std::shared_ptr<Slot> slot = take_locked();
    if (!slot) --workers_in;
    return slot;
  }

  // The first check not yet taken, now running; null when none is left. Under `mutex`.
  std::shared_ptr<Slot> take_locked() {
    while (!waiting.empty()) {
      std::shared_ptr<Slot> slot = std::move(waiting.front());
      waiting.pop_front();
      if (slot->state != Slot::State::kWaiting) continue;  // taken back by the loop
      slot->state = Slot::State::kRunning;
      return slot;
    }
    return nullptr;
  }
};

namespace {

// A worker's turn at one run's checks: it takes them one after another until none is left.
struct Drain : JobPool::Job {
  explicit Drain(std::shared_ptr<CheckQueue::Shared> shared) : shared_(std::move(shared)) {}

  void run() override;

  std::shared_ptr<CheckQueue::Shared> shared_;
};

}  // namespace

void Drain::run() {
  std::shared_ptr<CheckQueue::Slot> slot;
  std::optional<platform::PinHeld> pin;
  platform::HeldRef pinned;
  while ((slot = shared_->next(slot))) {
    // The run may end its hold while the check runs: the worker keeps the folder it was given.
    if (!pin || slot->folder != pinned) {
      pin.reset();
      pinned = slot->folder;
      pin.emplace(pinned);
    }
    slot->run();
  }
}

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
                              : kAheadPerWorker * static_cast<std::uint64_t>(pool->workers())),
      shared_(std::make_shared<Shared>()) {
  // The loop checks too while it would wait: with it, one worker less keeps as many checks going.
  if (pool) shared_->most_workers = std::max(pool->workers() - 1, 1);
}

CheckQueue::~CheckQueue() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (const std::shared_ptr<Slot>& slot : shared_->waiting) slot->state = Slot::State::kTakenBack;
  shared_->waiting.clear();
}

void CheckQueue::checking(std::uint64_t entry, ID3Options options) {
  planned_jobs_.erase(planned_jobs_.begin(), planned_jobs_.lower_bound(entry));
  if (!pool_) return;
  // Planned in runs: once half of what was planned has been checked, up to `ahead_` again.
  if (planned_ > entry + ahead_ / 2) return;
  bool handed = false;
  while (planned_ <= entry + ahead_ && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number < entry) continue;
    try {
      std::optional<PlannedCheck> check = planner_(line);
      if (!check) continue;
      Planned& planned = planned_jobs_[number];
      planned.fingerprint = std::make_shared<Slot>();
      Slot& slot = *planned.fingerprint;
      slot.path = check->path;
      slot.fingerprint = std::move(check->fingerprint);
      slot.options = options;
      slot.folder = platform::held_folder_of(check->path);
      {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->waiting.push_back(planned.fingerprint);
      }
      handed = true;
      if (deep_) {
        planned.content = std::make_shared<ContentJob>();
        planned.content->path = std::move(check->path);
        pool_->submit(planned.content, planned.content->path);
      }
    } catch (...) {
      // The entry's own check meets the same trouble and reports it.
    }
  }
  if (handed) hand_out();
}

// Wakes as many workers as may take checks of this run.
void CheckQueue::hand_out() {
  int wanted = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    wanted = std::min<int>(shared_->most_workers - shared_->workers_in, static_cast<int>(shared_->waiting.size()));
    shared_->workers_in += std::max(wanted, 0);
  }
  for (int i = 0; i < wanted; ++i) pool_->submit_kept(std::make_shared<Drain>(shared_));
}

std::string CheckQueue::fingerprint_check(std::uint64_t entry, const std::string& path, const TrackFingerprint& fingerprint,
                                          ID3Options options, AudioCheckFacts* facts) {
  auto it = planned_jobs_.find(entry);
  if (it != planned_jobs_.end() && it->second.fingerprint) {
    const std::shared_ptr<Slot> slot = std::move(it->second.fingerprint);
    bool made = false;
    {
      std::unique_lock<std::mutex> lock(shared_->mutex);
      while (slot->state == Slot::State::kRunning) {
        // Rather than wait, the loop makes the next check not yet taken.
        if (std::shared_ptr<Slot> other = shared_->take_locked()) {
          lock.unlock();
          other->run();
          lock.lock();
          other->state = Slot::State::kDone;
          continue;
        }
        shared_->loop_waits = true;
        shared_->done.wait(lock);
        shared_->loop_waits = false;
      }
      if (slot->state == Slot::State::kWaiting) slot->state = Slot::State::kTakenBack;
      made = slot->state == Slot::State::kDone;
    }
    if (made && slot->checked && slot->path == path && slot->fingerprint.text() == fingerprint.text() &&
        slot->options == options && same_file_now(slot->facts.stamp, path)) {
      if (facts) *facts = slot->facts;
      return slot->result;
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
