// The many-folder run of the window: a folder without a checksum file whose sub-folders hold some
// is verified as a collection, with the walk and summary of `qnverify -r`.
#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "engine/collection_run.h"
#include "engine/collection_summary.h"
#include "engine/planned_folder.h"
#include "engine/verify.h"
#include "platform/program_folder.h"
#include "ui/window/collection_report.h"
#include "ui/window/form1.h"
#include "ui/window/form1_host.h"
#include "ui/window/report_place.h"

namespace qn {

namespace {

int folder_count(const std::vector<PlanItem>& plan) {
  std::set<std::string> folders;
  for (const PlanItem& item : plan) folders.insert(item.folder);
  return static_cast<int>(folders.size());
}

// The summary report: its head, the problem lines as they were collected, then the table.
bool write_summary(const std::string& path, const std::string& head, CollectedProblems& problems,
                   const std::string& table, RunHost& host) {
  platform::NewFileInPlace file(path);
  const bool whole = file.append(head) &&
                     problems.read([&](std::string_view piece) { return file.append(piece); }) && file.append(table);
  if (!whole && !file.error()) {
    host.show_error(kErrFileAccess, "Writing the report failed: the problem lines could not be read back", path);
    return false;  // dropped uncommitted: the old report stays
  }
  const std::optional<platform::OutputError> failed = file.commit();
  if (!failed) return true;
  host.show_error(failed->number, "Writing the report failed: " + failed->reason, path);
  return false;
}

}  // namespace

// Verify becomes the Cancel of a long task (the walk, the collection run); Browse and the mode box
// wait. The destructor puts everything back.
class Form1::CancellableTask {
 public:
  explicit CancellableTask(Form1& form)
      : form_(form),
        browse_enabled_(form.view_.is_enabled(Control::kBtnBrowse)),
        mode_enabled_(form.view_.is_enabled(Control::kCheck3)),
        verify_enabled_(form.view_.is_enabled(Control::kBtnVerify)) {
    form_.running_ = true;
    form_.collection_running_ = true;
    form_.cancel_requested_ = false;
    form_.view_.set_enabled(Control::kBtnBrowse, false);
    form_.view_.set_enabled(Control::kCheck3, false);
    form_.view_.set_verify_caption("Cancel");
    form_.view_.set_enabled(Control::kBtnVerify, true);
  }
  ~CancellableTask() {
    form_.view_.set_verify_caption("Verify");
    form_.view_.set_enabled(Control::kBtnVerify, verify_enabled_);
    form_.view_.set_enabled(Control::kBtnBrowse, browse_enabled_);
    form_.view_.set_enabled(Control::kCheck3, mode_enabled_);
    form_.collection_running_ = false;
    form_.running_ = false;
  }
  CancellableTask(const CancellableTask&) = delete;
  CancellableTask& operator=(const CancellableTask&) = delete;

 private:
  Form1& form_;
  bool browse_enabled_, mode_enabled_, verify_enabled_;
};

void Form1::offer_collection(const std::string& folder) {
  std::vector<PlanItem> plan;
  bool cancelled = false;
  {
    // The walk of a large tree takes long: the window repaints and takes Cancel between folders.
    CancellableTask task(*this);
    const std::string message = label1_;
    int listed = 0;
    FolderLister lister = [&](const std::string& below, std::vector<platform::SearchEntry>& entries, std::error_code& error) {
      if (!cancel_requested_) {
        ++listed;
        set_label1("Looking for checksum files below " + folder + "\n" + std::to_string(listed) +
                   (listed == 1 ? " folder" : " folders"));
        view_.yield();
      }
      // Cancelled: nothing more is listed, so the walk ends at once.
      if (cancel_requested_) return true;
      return list_real_folder(below, entries, error);
    };
    plan = walk_collection(folder, lister);
    cancelled = cancel_requested_;
    set_label1(message);
  }
  if (cancelled) return;
  // Only problems (the folder itself cannot be read, say): there is nothing to offer.
  if (std::none_of(plan.begin(), plan.end(), [](const PlanItem& item) { return item.kind != ItemKind::kProblem; }))
    return;
  int folders = folder_count(plan);
  std::string question = kNoChecksumFile + folder + ", but " + std::to_string(folders) +
                         (folders == 1 ? " folder below it holds" : " folders below it hold") +
                         " checksum files.\r\n\r\nVerify them all?";
  if (!view_.ask_yes_no(kApplicationTitle, question)) return;
  run_collection(folder, plan);
}

// The window's side of the collection loop, on the window's thread: the status line and the
// window's events before each folder, Verify as the Cancel, each folder's progress under the status
// line, its report beside the summary, and its problem lines gathered for the summary.
class Form1::CollectionFront : public PlanFront {
 public:
  CollectionFront(Form1& form, const std::string& report_folder, Form1Host& report_host)
      : problems(report_folder), form_(form), report_folder_(report_folder), report_host_(report_host) {}

  bool stop_requested() override { return form_.cancel_requested_; }
  void progress(int folders_done, int folders_total, double elapsed_seconds) override {
    if (form_.cancel_requested_) return;  // the loop ends before the next folder
    status_ = collection_status_text(folders_done, folders_total, elapsed_seconds);
    form_.set_label1(status_);
    form_.view_.yield();
  }
  // Each folder's progress under the collection's status line; its errors held for the summary.
  std::unique_ptr<RunHost> host(std::size_t, const PlanItem&, ItemStream&) override {
    auto host = std::make_unique<Form1Host>(
        form_.view_, [this](const std::string& text) { form_.set_label1(status_ + "\n" + text); });
    host->hold_errors();
    return host;
  }
  RunOptions run_options() override { return form_.run_options(); }
  std::unique_ptr<EntrySink> sink(std::size_t, const PlanItem&, ItemStream&) override {
    entry_lines_.clear();
    return std::make_unique<ProblemEntryLines>(entry_lines_);
  }
  void take(std::size_t index, ItemOutcome& outcome) override {
    if (!outcome.ran) {
      add_problem(outcome.item.folder, problem_lines(outcome.item));
      return;
    }
    const std::string own_report = report_folder_ + collection_report_name(index + 1);
    write_report(own_report, outcome.result.report_text, report_host_);
    add_problem(outcome.item.folder, problem_lines(outcome.result, own_report, entry_lines_));
  }

  Summary summary;
  CollectedProblems problems;
  std::set<std::string> problem_folders;

 private:
  void add_problem(const std::string& folder, const std::string& lines) {
    if (lines.empty()) return;
    problems.add(lines);
    problem_folders.insert(folder);
  }

  Form1& form_;
  const std::string& report_folder_;
  Form1Host& report_host_;
  std::string status_;
  std::string entry_lines_;  // of the run under way
};

// Every folder of the plan in turn, as `qnverify -r` does, each report written beside the
// summary report in a new folder of this run; nothing is asked per folder. Verify is the Cancel
// meanwhile; a cancelled run still writes and shows the summary of the folders done.
void Form1::run_collection(const std::string& root, const std::vector<PlanItem>& plan) {
  auto show_label1 = [this](const std::string& text) { set_label1(text); };
  Form1Host report_host(view_, show_label1);
  show_outcome({});
  // A folder of its own for each run: no report of an older run is ever mixed with these.
  const std::string reports_below = FolderOfPath(view_.report_path());
  std::error_code made;
  const std::string report_folder = platform::make_new_folder(reports_below, run_folder_name(local_now()), made);
  if (report_folder.empty()) {
    report_host.show_error(made.value(), "Creating the folder of the run's reports failed: " + made.message(),
                           reports_below);
    return;
  }
  CancellableTask task(*this);

  CollectionFront front(*this, report_folder, report_host);
  const std::size_t items_taken = run_plan(plan, kOnCallingThread, front, front.summary);
  // The folders verified, the one under way when Cancel came included: its run was finished.
  int folders_done = 0;
  for (std::size_t i = 0; i < items_taken; ++i)
    if (i == 0 || plan[i].folder != plan[i - 1].folder) ++folders_done;

  const int folders_total = folder_count(plan);
  Summary& summary = front.summary;
  CollectedProblems& problems = front.problems;
  std::string summary_path = report_folder + kSummaryReportName;
  const int with_problems = static_cast<int>(front.problem_folders.size());
  const std::string head = collection_report_head(root, with_problems, folders_done, folders_total);
  const std::string table = summary.text();
  ReportFate fate = ReportFate::kUnwritten;
  if (write_summary(summary_path, head, problems, table, report_host)) {
    fate = ReportFate::kOpened;
    if (!view_.open_report(summary_path)) {
      // The window's own view holds the whole text.
      std::string text = head;
      problems.read([&](std::string_view piece) {
        text += piece;
        return true;
      });
      view_.show_report_in_window(summary_path, text + table);
      fate = ReportFate::kInWindow;
    }
  }
  report_host.show_held_errors();

  set_label1("Verified " + std::to_string(folders_done) + " of " + std::to_string(folders_total) +
             " folders below " + root);
  show_outcome(collection_outcome(summary.totals(), folders_done, folders_total, with_problems, fate, summary_path));
}

}  // namespace qn
