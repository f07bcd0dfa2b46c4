#include "engine/job_pool.h"

#include <algorithm>

namespace qn {

int default_jobs() {
  const unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 4u));
}

JobPool::JobPool(int workers) {
  const int count = std::max(workers, 1);
  threads_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) threads_.emplace_back([this] { work(); });
}

JobPool::~JobPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void JobPool::submit(const std::shared_ptr<Job>& job, const std::string& path) {
  job->folder_ = platform::held_folder_of(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back({job, nullptr});
  }
  wake_.notify_one();
}

void JobPool::submit_kept(std::shared_ptr<Job> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back({job, std::move(job)});
  }
  wake_.notify_one();
}

bool JobPool::finish(Job& job) {
  std::unique_lock<std::mutex> lock(job.mutex_);
  if (job.state_ == Job::State::kQueued) {
    job.state_ = Job::State::kTakenBack;
    return false;
  }
  job.done_signal_.wait(lock, [&] { return job.state_ == Job::State::kDone; });
  return true;
}

void JobPool::work() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = jobs_.front().kept ? std::move(jobs_.front().kept) : jobs_.front().job.lock();
      jobs_.pop_front();
    }
    if (!job) continue;  // its run has let it go
    {
      std::lock_guard<std::mutex> lock(job->mutex_);
      if (job->state_ != Job::State::kQueued) continue;  // its run made the check itself
      job->state_ = Job::State::kRunning;
    }
    {
      const platform::PinHeld pin(job->folder_);
      job->run();
    }
    std::lock_guard<std::mutex> lock(job->mutex_);
    job->state_ = Job::State::kDone;
    job->done_signal_.notify_all();
  }
}

}  // namespace qn
