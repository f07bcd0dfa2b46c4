#include "engine/content_checks.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "base/step_error.h"
#include "platform/file_access.h"

namespace qn {

ContentOutcome check_content_now(const std::string& path) {
  ContentOutcome outcome;
  try {
    outcome.verdict = check_track_content(path);
    return outcome;
  } catch (const StepError& e) {
    outcome.error_number = e.number();
    outcome.error_text = e.what();
  } catch (const std::bad_alloc&) {
    outcome.error_number = 7;
    outcome.error_text = "Out of memory during the deep check of " + path;
  } catch (const std::exception& e) {
    // Never lost on a worker thread: the entry's run reports it.
    outcome.error_number = 51;
    outcome.error_text = std::string("Internal error in the deep check: ") + e.what() + ": " + path;
  }
  outcome.verdict = {ContentStatus::kUnreadable, "", outcome.error_text, -1, -1};
  return outcome;
}

struct ContentPool::Job {
  std::string path;
  platform::HeldRef folder;  // the held folder the run opens the track from
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  ContentOutcome outcome;
};

ContentPool::ContentPool(int workers) {
  const int count = std::max(workers, 1);
  threads_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) threads_.emplace_back([this] { work(); });
}

ContentPool::~ContentPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::shared_ptr<ContentPool::Job> ContentPool::submit(const std::string& path) {
  auto job = std::make_shared<Job>();
  job->path = path;
  job->folder = platform::held_folder_of(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(job);
  }
  wake_.notify_one();
  return job;
}

ContentOutcome ContentPool::wait(Job& job) {
  std::unique_lock<std::mutex> lock(job.mutex);
  job.done_signal.wait(lock, [&] { return job.done; });
  return job.outcome;
}

void ContentPool::work() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = jobs_.front().lock();
      jobs_.pop_front();
    }
    if (!job) continue;  // its run has let it go
    ContentOutcome outcome;
    {
      const platform::PinHeld pin(job->folder);
      outcome = check_content_now(job->path);
    }
    std::lock_guard<std::mutex> lock(job->mutex);
    job->outcome = std::move(outcome);
    job->done = true;
    job->done_signal.notify_all();
  }
}

ContentQueue::ContentQueue(ContentPool* pool, const ChecksumFile& checksums, Planner planner)
    : pool_(pool),
      checksums_(checksums),
      planner_(std::move(planner)),
      position_(checksums.position()),
      // Enough for every worker to have a track while the loop waits on one; each planned track
      // is read whole by its worker, so more would only wait.
      ahead_(pool ? static_cast<std::uint64_t>(pool->workers()) + 1 : 0) {}

void ContentQueue::checking(std::uint64_t entry) {
  planned_jobs_.erase(planned_jobs_.begin(), planned_jobs_.lower_bound(entry));
  if (!pool_) return;
  while (planned_ <= entry + ahead_ && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number < entry) continue;
    try {
      if (std::optional<std::string> path = planner_(line))
        planned_jobs_[number] = {*path, pool_->submit(*path)};
    } catch (...) {
      // The entry's own check meets the same trouble and reports it.
    }
  }
}

ContentOutcome ContentQueue::outcome(std::uint64_t entry, const std::string& path) {
  auto it = planned_jobs_.find(entry);
  if (it != planned_jobs_.end() && it->second.path == path) {
    std::shared_ptr<ContentPool::Job> job = std::move(it->second.job);
    planned_jobs_.erase(it);
    return ContentPool::wait(*job);
  }
  return check_content_now(path);
}

}  // namespace qn
