#include "platform/read_ahead.h"

#include <algorithm>
#include <limits>

#include "platform/byte_file.h"

namespace qn::platform {

namespace {

// Each reader's buffer, and a stream's for its probes; larger ranges are read in pieces of this
// size. Left uninitialised: a page is only touched when a read fills it.
constexpr std::size_t kScratchSize = 64 * 1024;

}  // namespace

RangesRead read_ranges(const std::string& path, const RangePlan& plan, std::uint8_t* scratch, std::size_t size,
                       bool fetch) {
  if (scratch == nullptr || size == 0) return RangesRead::kFailed;
  bool fetched = false;
  try {
    platform::ByteFile file(path);
    for (const ByteRange& range : plan(file.length())) {
      std::int64_t at = std::max<std::int64_t>(range.offset, 0);
      const std::int64_t end = std::min(file.length(), range.offset + std::max<std::int64_t>(range.size, 0));
      while (at < end) {
        std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(end - at, static_cast<std::int64_t>(size)));
        std::size_t got = file.read_cached(at, scratch, piece);
        if (got < piece) {
          if (!fetch) return RangesRead::kFetched;
          fetched = true;
          // Asked for, not waited for: the device gets many reads at once and no thread sleeps on them.
          if (file.bring_in(at + static_cast<std::int64_t>(got), end - at - static_cast<std::int64_t>(got))) break;
          got += file.read_through(at + static_cast<std::int64_t>(got), scratch + got, piece - got);
        }
        if (got < piece) return RangesRead::kFailed;  // the file shrank: nothing more to read
        at += static_cast<std::int64_t>(got);
      }
    }
  } catch (...) {
    // The check meets the same trouble when its turn comes and reports it there.
    return RangesRead::kFailed;
  }
  return fetched ? RangesRead::kFetched : RangesRead::kCached;
}

ReadAheadPool::ReadAheadPool(int depth) : depth_(std::clamp(depth, 1, kMostDepth)) {
  threads_.reserve(static_cast<std::size_t>(depth_));
}

ReadAheadPool::~ReadAheadPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ReadAheadPool::reader() {
  const std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kScratchSize]);
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ++waiting_;
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      --waiting_;
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    // A file whose check has begun is read by the check itself.
    Stream::State& stream = *job.stream;
    if (job.entry <= stream.checking.load(std::memory_order_relaxed) ||
        job.queued < stream.dropped_below.load(std::memory_order_relaxed))
      continue;
    // The run may end its hold meanwhile: the reader keeps the folder it was given.
    const PinHeld pin(std::move(job.folder));
    switch (read_ranges(job.path, job.plan, scratch.get(), kScratchSize)) {
      case RangesRead::kCached: stream.cached_in_a_row.fetch_add(1, std::memory_order_relaxed); break;
      case RangesRead::kFetched: stream.cached_in_a_row.store(0, std::memory_order_relaxed); break;
      case RangesRead::kFailed: break;
    }
  }
}

ReadAheadPool::Stream::Stream(ReadAheadPool& pool)
    : pool_(pool), state_(std::make_shared<State>()) {}

ReadAheadPool::Stream::~Stream() { state_->checking.store(std::numeric_limits<std::uint64_t>::max()); }

RangesRead ReadAheadPool::Stream::probe(const std::string& path, const RangePlan& plan) {
  if (!probe_scratch_) probe_scratch_.reset(new std::uint8_t[kScratchSize]);
  const RangesRead read = read_ranges(path, plan, probe_scratch_.get(), kScratchSize, false);
  if (read == RangesRead::kFetched) state_->cached_in_a_row.store(0, std::memory_order_relaxed);
  return read;
}

void ReadAheadPool::Stream::add(std::uint64_t entry, std::string path, RangePlan plan) {
  HeldRef folder = held_folder_of(path);
  {
    std::lock_guard<std::mutex> lock(pool_.mutex_);
    pool_.jobs_.push_back(Job{entry, queued_++, std::move(path), std::move(folder), std::move(plan), state_});
    // One more reader while more reads wait than readers do, up to the depth.
    if (pool_.jobs_.size() > pool_.waiting_ && pool_.threads_.size() < static_cast<std::size_t>(pool_.depth_))
      pool_.threads_.emplace_back([pool = &pool_] { pool->reader(); });
  }
  pool_.wake_.notify_one();
}

}  // namespace qn::platform
