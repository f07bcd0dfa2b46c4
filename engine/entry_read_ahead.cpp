#include "engine/entry_read_ahead.h"

#include <utility>

namespace qn {

namespace {

// While the files are found in the cache, one entry in this many is still read ahead.
constexpr std::uint64_t kProbeEvery = 16;

}  // namespace

EntryReadAhead::EntryReadAhead(ReadAheadPool& pool, const ChecksumFile& checksums, Planner planner)
    : stream_(pool),
      checksums_(checksums),
      planner_(std::move(planner)),
      position_(checksums.position()),
      // Enough queued for the readers to stay busy through the pauses of the checking loop (with
      // two entries per reader the loop still waited on them often), and few enough that the
      // bytes read ahead are still in the file cache when their check comes.
      ahead_(8 * static_cast<std::uint64_t>(pool.depth()) + 2) {}

void EntryReadAhead::checking(std::uint64_t entry) {
  stream_.checking(entry);
  while (planned_ <= entry + ahead_ && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number <= entry) continue;  // read by its check already
    if (stream_.cached() && number % kProbeEvery != 0) continue;
    try {
      if (std::optional<PlannedFile> file = planner_(line))
        stream_.add(number, std::move(file->path), std::move(file->ranges));
    } catch (...) {
      // The check of that entry meets the same trouble and reports it.
    }
  }
}

}  // namespace qn
