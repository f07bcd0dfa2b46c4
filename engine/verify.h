#pragma once
// The verification runs. Each builds the whole report text and returns it with the tally of what it
// found; each entry goes to `sink` (when given) as it is finished. The front end writes the report
// where it belongs (WriteReport) and shows it.
#include <string>

#include "base/version.h"
#include "engine/host.h"
#include "engine/run_options.h"
#include "engine/run_result.h"

namespace qn {

// The audio run over `folder` (ending in the separator) against the checksum file at
// `checksum_path`.
RunResult VerifyAudioFolder(const std::string& folder, const std::string& checksum_path, const RunOptions& options,
                            RunHost& host, EntrySink* sink = nullptr);

// The label-image run over `folder` against `checksum_path`, or, when that is empty, against the
// folder's single "*Labels.qn".
RunResult VerifyLabelFolder(const std::string& folder, const std::string& checksum_path, const RunOptions& options,
                            RunHost& host, EntrySink* sink = nullptr);

}  // namespace qn
