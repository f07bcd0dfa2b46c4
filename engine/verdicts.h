#pragma once
// Turning an audio check result into the verdicts of an entry's report line.
#include <string>
#include <vector>

#include "engine/run_result.h"

namespace qn {

struct DecodedVerdicts {
  std::vector<std::string> verdicts;  // without the ID3 suffix
  std::string text;                   // each verdict followed by the suffix, as the report shows it
};

// The verdicts for audio check result `result` with ID3 suffix `suffix`.
DecodedVerdicts decode_verdicts(const std::string& result, const std::string& suffix);

// The ID3 suffix of a result: from its first " ID3" to its end, or the empty text.
std::string id3_suffix(const std::string& result);

// The value of the decimal number at the head of a text (blanks skipped, 0 when there is none).
long leading_number(const std::string& s);

// True for a report line that tells a tag-only failure (see tags_only_failure): an ID3 check
// "Fails" and no verdict on the line says FAIL.
bool tags_only_report_line(const std::string& line);

// The status of an entry whose file was found and decoded.
EntryStatus status_of_verdicts(const std::vector<std::string>& verdicts, const std::string& suffix);

}  // namespace qn
