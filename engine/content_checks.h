#pragma once
// The deep checks of a run's tracks (`--deep`), made by a few worker threads ahead of the run's
// checking loop, so that several tracks are read and decoded at once while the loop still finishes
// its entries one by one in checksum-file order. The workers are shared by every run of a program,
// so the tracks checked at once never exceed their number whatever the number of runs.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/content_check.h"
#include "engine/checksum_file.h"

namespace qn {

// A track's deep check as the run takes it: the verdict, or the failure to open or read the file.
struct ContentOutcome {
  ContentVerdict verdict;
  int error_number = 0;      // not 0: the file could not be opened or read
  std::string error_text;    // the step error's description, naming the file
};

// The check on the calling thread.
ContentOutcome check_content_now(const std::string& path);

class ContentPool {
 public:
  // `workers` threads (at least one).
  explicit ContentPool(int workers);
  ~ContentPool();
  ContentPool(const ContentPool&) = delete;
  ContentPool& operator=(const ContentPool&) = delete;

  int workers() const { return static_cast<int>(threads_.size()); }

  struct Job;
  // Queues the check of `path`; the file is opened from the held folder it lies in, as the run
  // opens it. Dropping the job before a worker takes it cancels it.
  std::shared_ptr<Job> submit(const std::string& path);
  // The job's outcome, once a worker has made it.
  static ContentOutcome wait(Job& job);

 private:
  void work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::weak_ptr<Job>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// One run's deep checks in checking order. The lines after the entry being checked are taken
// from the checksum file without reading them, and the run turns each into the track its check
// will open, or nothing; those are checked ahead. An entry whose track was not planned so (found
// only by a looser name match, or planned as another file) is checked when its turn comes.
class ContentQueue {
 public:
  using Planner = std::function<std::optional<std::string>(const std::string& line)>;

  // Without a pool every check is made when its entry asks for it.
  ContentQueue(ContentPool* pool, const ChecksumFile& checksums, Planner planner);

  // Entry `entry` (from 0, one per line read) is about to be checked.
  void checking(std::uint64_t entry);
  // The outcome of the deep check of `path` for entry `entry`.
  ContentOutcome outcome(std::uint64_t entry, const std::string& path);

 private:
  ContentPool* pool_;
  const ChecksumFile& checksums_;
  Planner planner_;
  std::size_t position_;
  std::uint64_t planned_ = 0;
  std::uint64_t ahead_;
  struct Planned {
    std::string path;
    std::shared_ptr<ContentPool::Job> job;
  };
  std::map<std::uint64_t, Planned> planned_jobs_;
};

}  // namespace qn
