#pragma once
#include <string>

namespace qn {

// The track key (chart part, "_", position number, letter suffix) of a file name, path or checksum
// line; in letters-only mode only the letter suffix. Throws StepError when the file name has no "_".
std::string TrackKey(const std::string& input, bool letters_only = false);

}  // namespace qn
