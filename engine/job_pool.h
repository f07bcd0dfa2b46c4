#pragma once
// Worker threads shared by every run of a program. A run hands them the checks of the entries
// ahead of its checking loop, so that several files are read at once while the loop still takes
// its entries one by one; the checks made at once never exceed the workers, whatever the number
// of runs.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_access.h"

namespace qn {

// The default number of workers, and of a collection's runs at the same time: the processors, at
// most 4, at least 1. One means no workers: every check is made in its run's loop.
int default_jobs();

class JobPool {
 public:
  // `workers` threads (at least one).
  explicit JobPool(int workers);
  ~JobPool();
  JobPool(const JobPool&) = delete;
  JobPool& operator=(const JobPool&) = delete;

  int workers() const { return static_cast<int>(threads_.size()); }

  class Job {
   public:
    virtual ~Job() = default;

   protected:
    // On a worker, with the held folder of the job's file pinned; never throws.
    virtual void run() = 0;

   private:
    friend class JobPool;
    enum class State { kQueued, kRunning, kDone, kTakenBack };
    platform::HeldRef folder_;
    std::mutex mutex_;
    std::condition_variable done_signal_;
    State state_ = State::kQueued;
  };

  // Queues `job`, whose file at `path` is opened from the held folder it lies in, as the run opens
  // it. Dropping every reference to the job before a worker takes it cancels it.
  void submit(const std::shared_ptr<Job>& job, const std::string& path);
  // Queues `job`, kept alive by the pool until a worker has run it; it pins no folder itself.
  void submit_kept(std::shared_ptr<Job> job);
  // True once a worker has run the job (waiting for it if it is running); false when no worker had
  // taken it yet: it is taken back and never runs, and the caller makes the check itself.
  static bool finish(Job& job);

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  struct Queued {
    std::weak_ptr<Job> job;
    std::shared_ptr<Job> kept;  // only for a job the pool keeps alive
  };
  std::deque<Queued> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qn
