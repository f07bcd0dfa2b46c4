#include "engine/entry_read_ahead.h"

#include <algorithm>
#include <utility>

namespace qn {

namespace {

// While the files are found in memory, one entry in this many is still read ahead, this many
// entries after the one checked, to notice files that are not.
constexpr std::uint64_t kProbeEvery = 128;
constexpr std::uint64_t kProbeAhead = 8;
constexpr std::uint64_t kFirstAhead = 4;

}  // namespace

EntryReadAhead::EntryReadAhead(ReadAheadPool& pool, const ChecksumFile& checksums, Planner planner)
    : stream_(pool),
      checksums_(checksums),
      planner_(std::move(planner)),
      position_(checksums.position()),
      // Until a file is seen not to be in memory, a few entries only: a folder in memory is then
      // told after few files read twice, by few readers.
      first_ahead_(std::min<std::uint64_t>(static_cast<std::uint64_t>(pool.depth()), kFirstAhead)),
      // Enough queued for the readers to stay busy through the pauses of the checking loop (with
      // two entries per reader the loop still waited on them often), and few enough that the
      // bytes read ahead are still in the file cache when their check comes.
      ahead_(8 * static_cast<std::uint64_t>(pool.depth()) + 2) {}

void EntryReadAhead::checking(std::uint64_t entry) {
  stream_.checking(entry);
  if (paused_) {
    if (stream_.cached()) {
      if (entry % kProbeEvery == 0) plan(entry, entry + kProbeAhead, entry + kProbeAhead);
      return;
    }
    paused_ = false;  // a file read ahead had to be fetched: the folder is not all in memory
  } else if (stream_.cached()) {
    // Reading ahead of files in memory only takes time from the checks.
    paused_ = true;
    stream_.drop_before(planned_);
    return;
  }
  plan(entry, entry + (stream_.fetched_any() ? ahead_ : first_ahead_), 0);
}

void EntryReadAhead::plan(std::uint64_t entry, std::uint64_t last, std::uint64_t from) {
  while (planned_ <= last && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number <= entry || number < from) continue;  // read by its check already, or passed over
    try {
      if (std::optional<PlannedFile> file = planner_(line))
        stream_.add(number, std::move(file->path), std::move(file->ranges));
    } catch (...) {
      // The check of that entry meets the same trouble and reports it.
    }
  }
}

}  // namespace qn
