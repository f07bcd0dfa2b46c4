#pragma once
// The texts of the window's many-folder run: the status line while it runs, and the summary
// report at its end (the summary table, then the problem lines of every folder that has any).
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/run_result.h"
#include "platform/output_file.h"

namespace qn {

// "Folder 3 of 250", then ", about 4:10 left" once a folder is done.
std::string collection_status_text(int folders_done, int folders_total, double elapsed_seconds);

// The report lines of a run's entries that failed, are missing or have no verdict, gathered as
// the run hands them over, into `lines` (CR LF line ends), which outlives the run.
class ProblemEntryLines : public EntrySink {
 public:
  explicit ProblemEntryLines(std::string& lines) : lines_(lines) {}
  void entry(const EntryResult& entry) override;

 private:
  std::string& lines_;
};

// The lines of one run that need a look: `entry_lines` (from ProblemEntryLines), additional files
// and failed steps, under the folder and its own report file. Empty when the run found nothing
// wrong.
std::string problem_lines(const RunResult& result, const std::string& report_file, const std::string& entry_lines);
// The same for a folder that could not be verified.
std::string problem_lines(const PlanItem& problem);

// The problem lines of a collection run, in the order added: in a scratch file in `folder` while
// one can be written there, in memory after (so that nothing is lost).
class CollectedProblems {
 public:
  explicit CollectedProblems(const std::string& folder) : file_(folder) {}
  void add(const std::string& lines);
  bool empty() const { return file_.size() == 0 && rest_.empty(); }
  // Every line, in pieces and in order; false when the scratch file cannot be read back.
  bool read(const std::function<bool(std::string_view)>& take);

 private:
  platform::ScratchFile file_;
  std::string rest_;
};

// The summary report up to its problem lines, CR LF line ends. The problem lines follow, so that
// the folders with problems come first, and the summary table ends the report.
std::string collection_report_head(const std::string& root, int problem_folders, int folders_done,
                                   int folders_total);

// The name of the folder that takes one collection run's reports, from the run's start time:
// "Quarnell Verify 2026-12-09 23-30-05" (sorts as the runs came; no colon, which Windows refuses).
std::string run_folder_name(const std::tm& start);

// The file name of the report of the run at `index` (from 1) of a collection run.
std::string collection_report_name(std::size_t index);
inline constexpr const char* kSummaryReportName = "Quarnell Verify Summary.txt";

}  // namespace qn
