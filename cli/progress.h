#pragma once
// The progress line of a collection run, drawn on standard error when that is a terminal.
#include <string>

namespace qn::cli {

// "qnverify: 3/10 folders, 612 files checked, 0:07 elapsed, about 0:16 left"; the estimate is
// left out until a folder is done.
std::string progress_text(int folders_done, int folders_total, long files_checked, double elapsed_seconds);

// The text cut to fit a line of `columns` terminal columns without reaching the last one, where
// a terminal wraps; unchanged when `columns` is 0 (not known). The text is ASCII.
std::string fit_to_columns(const std::string& text, int columns);

}  // namespace qn::cli
