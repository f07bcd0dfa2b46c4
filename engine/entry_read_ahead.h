#pragma once
// Keeps the reader threads a few entries ahead of a run's checking loop. The loop says which entry
// it checks; the lines after it are taken from the checksum file without reading them, and the run
// turns each into the file and the ranges its check will read, or nothing. The loop itself, its
// reports and its errors do not change: the readers only bring bytes into the file cache.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/checksum_file.h"
#include "platform/read_ahead.h"

namespace qn {

struct PlannedFile {
  std::string path;
  platform::RangePlan ranges;
};

class EntryReadAhead {
 public:
  // A planner that throws or returns nothing leaves that entry to its check alone.
  using Planner = std::function<std::optional<PlannedFile>(const std::string& line)>;

  // `checksums` outlives this and has not been read past its first unread line yet.
  EntryReadAhead(platform::ReadAheadPool& pool, const ChecksumFile& checksums, Planner planner);

  // Entry `entry` (from 0, one per line read) is about to be checked: its line is the next one
  // the checksum file gives.
  void checking(std::uint64_t entry);

 private:
  // Takes the lines up to entry `last`; those after `entry` are read ahead.
  void plan(std::uint64_t entry, std::uint64_t last);
  // True when the file of the entry after the one about to be checked is not all in memory.
  bool next_fetched();

  platform::ReadAheadPool::Stream stream_;
  const ChecksumFile& checksums_;
  Planner planner_;
  std::size_t position_;
  std::uint64_t planned_ = 0;  // entries planned so far
  std::uint64_t ahead_;        // how many entries after the one checked are planned
  bool paused_ = true;         // the files are in memory: only a probe now and then
};

}  // namespace qn
