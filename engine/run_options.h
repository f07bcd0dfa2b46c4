#pragma once
// What is fixed for the whole of a run, handed to it as a value: what it may create, the threads
// it may share, how much it checks, and the clock of its report. What talks to a person during the
// run is the RunHost's.
#include <ctime>
#include <functional>

namespace qn {

namespace platform {
class ReadAheadPool;
}  // namespace platform
class JobPool;

struct RunOptions {
  // Audio runs: missing .nfo placeholders are created inside the folder.
  bool create_nfo = false;
  // The reader threads that read the files of the next entries ahead of their checks; none: one
  // read at a time, each by its check.
  platform::ReadAheadPool* read_ahead = nullptr;
  // The workers that make the checks of the next entries ahead of the checking loop; none: each
  // check is made when its entry asks for it.
  JobPool* job_pool = nullptr;
  // The deep check of every found track after its fingerprint check.
  bool deep_check = false;
  // Plain words after each FAIL (always with the deep check).
  bool hints = false;
  // The local date and time for the report's date line; empty: the clock of the machine.
  std::function<std::tm()> clock;

  bool hints_shown() const { return deep_check || hints; }
  std::tm now() const;
};

// The machine's local date and time.
std::tm local_now();

}  // namespace qn
