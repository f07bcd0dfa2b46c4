#pragma once
// The program's one window, without a toolkit: the start-up sequence, the mode box, Browse and
// Verify, the status label that shows messages and progress and carries the chosen folder to the
// run, and the many-folder run offered for a folder without a checksum file whose sub-folders
// hold some. Everything it shows or asks goes through a Form1View.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/file_list.h"
#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/job_pool.h"
#include "engine/run_options.h"
#include "platform/read_ahead.h"
#include "ui/window/form1_view.h"

namespace qn {

// The message of a folder without checksum file; the folder follows.
inline constexpr const char* kNoChecksumFile = "No .qn file found in ";
// The prompts of the two modes.
inline constexpr const char* kAudioPrompt = "Browse to mp3 or flac Folder";
inline constexpr const char* kLabelPrompt = "Browse to Label Folder";
// The error box's title and the program's name.
inline constexpr const char* kApplicationTitle = "Quarnell Verify";
// The title of the checksum-file picker.
inline constexpr const char* kPickChecksumPrompt =
    "More the one .qn checksum file detected - Please select file to process";
// The offer of an error box to hold back the rest of a run's errors.
inline constexpr const char* kSilenceErrorsText = "Do not show further errors of this run";

// The window's title: the product, its version and the revision text.
std::string window_title();

// A long error text keeps its box on the screen: the box shows the first kErrorBoxLines lines and
// "...", and the whole text apart. `whole` says whether the head is all of it.
inline constexpr std::size_t kErrorBoxLines = 24;
std::string error_box_head(const std::string& text, bool& whole);

// What became of a run's report.
enum class ReportFate { kOpened, kInWindow, kUnwritten };

// The outcome line of a run: "6 OK · 1 FAIL · 1 MISSING · 1 additional — report opened", or
// "— report in <path>" where no viewer took it; the worst count gives its colour.
struct OutcomeLine {
  std::string text;
  Outcome worst = Outcome::kNone;
};
OutcomeLine run_outcome(const RunCounts& counts, ReportFate fate, const std::string& report);
// After a collection run: the folders done, the summary's totals and the folders with problems.
OutcomeLine collection_outcome(const RunCounts& totals, int folders_done, int folders_total, int problem_folders,
                               ReportFate fate, const std::string& summary);
// The outcome line cut to `room` as `width` measures it (both windows, each with its own font):
// where the report went (from the last dash on) stays in view, its path losing its middle when the
// counts need the room (the path keeps at least a fifth of it); the counts lose their end.
std::string fit_outcome(const std::string& text, int room, const std::function<int(const std::string&)>& width);

class Form1 {
 public:
  explicit Form1(Form1View& view);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The start-up sequence. `command_line` is the whole argument text; with one, the folder of the
  // named file is verified at once, without one the shell registration is written. Shows the
  // window unless the program was ended.
  void Form_Load(const std::string& command_line);

  // The handlers of the user's clicks; the view has already changed the clicked box's value.
  void Check3_Click();
  void btnBrowse_Click();
  void btnVerify_Click();
  // The window is being closed: a collection run stops after its current folder.
  void window_closing();

  // The checksum files found for the chosen folder; element 1 is the one a run uses.
  const FileList& checksum_files() const { return checksum_files_; }
  // Label1's text as last set (the bytes of a folder, a message or the progress of a run).
  const std::string& label1() const { return label1_; }
  // True while a run is in progress (a further Verify is refused meanwhile).
  bool running() const { return running_; }

 private:
  enum class ChecksumFileFound { kNone, kCancelled, kOne };
  class CancellableTask;
  class CollectionFront;
  void set_label1(const std::string& text);
  ChecksumFileFound find_checksum_file(const std::string& folder);
  FileList ChooseChecksumFile(const std::string& folder);
  void set_mode(CheckValue value);
  void run(bool labels);
  RunOptions run_options();
  ReportFate show_report(const std::string& path, const std::string& text);
  void show_outcome(const OutcomeLine& line);
  std::string browse_start_folder();
  void offer_collection(const std::string& folder);
  void run_collection(const std::string& root, const std::vector<PlanItem>& plan);

  Form1View& view_;
  FileList checksum_files_ = empty_file_list();
  std::string label1_;
  std::string last_folder_;  // the folder last chosen or started with, where Browse opens
  bool running_ = false;
  bool collection_running_ = false;
  bool cancel_requested_ = false;
  // The reader threads and the checking threads of the runs, sized as the command line's by
  // default; started by the first run and kept for the next ones.
  std::optional<platform::ReadAheadPool> read_ahead_;
  std::optional<JobPool> workers_;
};

}  // namespace qn
