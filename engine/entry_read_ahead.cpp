#include "engine/entry_read_ahead.h"

#include <utility>

namespace qn {

EntryReadAhead::EntryReadAhead(ReadAheadPool& pool, const ChecksumFile& checksums, Planner planner)
    : stream_(pool),
      checksums_(checksums),
      planner_(std::move(planner)),
      position_(checksums.position()),
      // Enough queued for every reader to stay busy while the loop catches up, and no more: the
      // bytes read ahead should still be in the file cache when their check comes.
      ahead_(2 * static_cast<std::uint64_t>(pool.depth()) + 2) {}

void EntryReadAhead::checking(std::uint64_t entry) {
  stream_.checking(entry);
  while (planned_ <= entry + ahead_ && position_ < checksums_.size()) {
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
