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

// Writes the report file with `text` as a new file renamed over the name. A failure is reported
// through the host with the report path as its context line, and false is returned.
bool write_report(const std::string& report_path, const std::string& text, RunHost& host);

}  // namespace qn
