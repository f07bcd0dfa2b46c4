#include "engine/entry_read_ahead.h"

#include <utility>

namespace qn {

namespace {

// Nothing is read ahead until a file is seen not to be in memory: the files of the first entries
// are looked at one by one, then one in this many, on the checking thread without waiting for the
// device. A folder in memory so costs a few probes and no reader thread.
constexpr std::uint64_t kFirstProbes = 8;
constexpr std::uint64_t kProbeEvery = 128;

}  // namespace

EntryReadAhead::EntryReadAhead(platform::ReadAheadPool& pool, const ChecksumFile& checksums, Planner planner)
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
  if (paused_) {
    if (entry >= kFirstProbes && entry % kProbeEvery != 0) return;
    if (!next_fetched()) return;
    paused_ = false;  // the folder is not all in memory
  } else if (stream_.cached()) {
    // Reading ahead of files in memory only takes time from the checks.
    paused_ = true;
    stream_.drop_queued();
    planned_ = 0;  // planning starts afresh at the entry checked when it resumes
    return;
  }
  plan(entry, entry + ahead_);
}

bool EntryReadAhead::next_fetched() {
  std::size_t position = checksums_.position();
  checksums_.line_at(position);  // passed over: that entry is about to be read by its own check
  if (position >= checksums_.size()) return false;
  try {
    const std::optional<PlannedFile> file = planner_(checksums_.line_at(position));
    return file && stream_.probe(file->path, file->ranges) == platform::RangesRead::kFetched;
  } catch (...) {
    return false;  // the check of that entry meets the same trouble and reports it
  }
}

void EntryReadAhead::plan(std::uint64_t entry, std::uint64_t last) {
  if (planned_ <= entry) {
    // The lines passed while paused are not walked: the checking loop stands at this entry's line.
    planned_ = entry;
    position_ = checksums_.position();
  }
  while (planned_ <= last && position_ < checksums_.size()) {
    const std::uint64_t number = planned_++;
    const std::string line = checksums_.line_at(position_);
    if (number <= entry) continue;  // read by its check already
    try {
      if (std::optional<PlannedFile> file = planner_(line))
        stream_.add(number, std::move(file->path), std::move(file->ranges));
    } catch (...) {
      // The check of that entry meets the same trouble and reports it.
    }
  }
}

}  // namespace qn
