#pragma once
// Reading ahead of the checks. A few reader threads ask the system for the byte ranges that the
// checks of the next entries will read (where it cannot be asked, they read them), so that the
// device serves many of them at once; each check still opens
// and reads its file itself when its turn comes and finds those bytes in the system's file cache.
// Nothing read here is ever handed to a check: a file that vanishes, shrinks or is swapped after
// it was read ahead gives the check exactly what it would have got without the read-ahead.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_access.h"

namespace qn::platform {

struct ByteRange {
  std::int64_t offset = 0;
  std::int64_t size = 0;
};

// The ranges a check will read in a file of the given length.
using RangePlan = std::function<std::vector<ByteRange>(std::int64_t length)>;

enum class RangesRead { kCached, kFetched, kFailed };

// Reads the planned ranges of one file into `scratch` (`size` bytes; and thus into the file cache),
// in pieces of at most that size; any failure ends it quietly. Says whether every byte was in the
// cache already. Without `fetch` nothing is read from the device: the first byte not in the cache
// ends it with kFetched.
RangesRead read_ranges(const std::string& path, const RangePlan& plan, std::uint8_t* scratch, std::size_t size,
                       bool fetch = true);

// The reader threads, shared by every run of a program (runs side by side included), so that the
// reads in flight never exceed the depth whatever the number of runs.
class ReadAheadPool {
 public:
  // The depth the front ends use unless told otherwise.
  static constexpr int kDefaultDepth = 16;
  // The largest depth accepted; larger values are taken as this.
  static constexpr int kMostDepth = 256;
  // Up to `depth` reader threads, each with one read in flight at most; they are started as reads
  // are queued, so a pool that is given nothing (every file in the cache) costs no thread at all.
  explicit ReadAheadPool(int depth);
  ~ReadAheadPool();
  ReadAheadPool(const ReadAheadPool&) = delete;
  ReadAheadPool& operator=(const ReadAheadPool&) = delete;

  int depth() const { return depth_; }

  // The entries of one run in checking order. The run says which entry it checks now; files of
  // entries already checked are skipped by the readers, and the stream's end drops the rest.
  class Stream {
   public:
    explicit Stream(ReadAheadPool& pool);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    // Queues the reads of entry `entry` (numbered from 0 in checking order).
    void add(std::uint64_t entry, std::string path, RangePlan plan);
    // The entry being checked now.
    void checking(std::uint64_t entry) { state_->checking.store(entry, std::memory_order_relaxed); }
    // True while the files read lately were all in the system's cache already: reading ahead
    // then only costs the checks time, and a run looks at a file now and then to notice a change.
    bool cached() const { return state_->cached_in_a_row.load(std::memory_order_relaxed) >= kCachedRun; }
    // Looks at the planned ranges of one file on the calling thread, without waiting for the
    // device and without queueing anything: kFetched when some byte is not in the cache (then
    // cached() is false until the readers find a run of files in it again).
    RangesRead probe(const std::string& path, const RangePlan& plan);
    // The reads queued so far and still waiting are dropped: the readers pass over them.
    void drop_queued() { state_->dropped_below.store(queued_, std::memory_order_relaxed); }

   private:
    friend class ReadAheadPool;
    struct State {
      std::atomic<std::uint64_t> checking{0};
      std::atomic<int> cached_in_a_row{0};
      std::atomic<std::uint64_t> dropped_below{0};  // reads queued before this many are dropped
    };
    static constexpr int kCachedRun = 32;
    ReadAheadPool& pool_;
    std::shared_ptr<State> state_;
    std::uint64_t queued_ = 0;                        // reads queued so far
    std::unique_ptr<std::uint8_t[]> probe_scratch_;  // taken at the first probe
  };

 private:
  struct Job {
    std::uint64_t entry = 0;
    std::uint64_t queued = 0;  // how many reads the stream had queued before this one
    std::string path;
    HeldRef folder;  // the run's held folder the path lies in: opened from it, as the run does
    RangePlan plan;
    std::shared_ptr<Stream::State> stream;
  };
  void reader();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  int depth_;
  std::size_t waiting_ = 0;  // readers waiting for a job
  std::vector<std::thread> threads_;
};

}  // namespace qn::platform
