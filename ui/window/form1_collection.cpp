// The many-folder run of the window: a folder without a checksum file whose sub-folders hold some
// is verified as a collection, with the walk and summary of `qnverify -r`.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "engine/collection_summary.h"
#include "engine/verify.h"
#include "platform/program_folder.h"
#include "ui/window/collection_report.h"
#include "ui/window/form1.h"
#include "ui/window/form1_host.h"

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
  NewFileInPlace file(path);
  const bool whole = file.append(head) &&
                     problems.read([&](std::string_view piece) { return file.append(piece); }) && file.append(table);
  if (!whole && !file.error()) {
    host.show_error(kErrFileAccess, "Writing the report failed: the problem lines could not be read back", path);
    return false;  // dropped uncommitted: the old report stays
  }
  const std::optional<OutputError> failed = file.commit();
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

// Every folder of the plan in turn, as `qnverify -r` does, each report written beside the
// summary report in a new folder of this run; nothing is asked per folder. Verify is the Cancel
// meanwhile; a cancelled run still writes and shows the summary of the folders done.
void Form1::run_collection(const std::string& root, const std::vector<PlanItem>& plan) {
  auto show_label1 = [this](const std::string& text) { set_label1(text); };
  Form1Host report_host(view_, show_label1, &read_ahead_, &workers_);
  show_outcome({});
  // A folder of its own for each run: no report of an older run is ever mixed with these.
  const std::string reports_below = FolderOfPath(view_.report_path());
  std::error_code made;
  const std::string report_folder = platform::make_new_folder(reports_below, run_folder_name(report_host.now()), made);
  if (report_folder.empty()) {
    report_host.show_error(made.value(), "Creating the folder of the run's reports failed: " + made.message(),
                           reports_below);
    return;
  }
  CancellableTask task(*this);

  const int folders_total = folder_count(plan);
  const auto start = std::chrono::steady_clock::now();
  Summary summary;
  CollectedProblems problems(report_folder);
  std::set<std::string> problem_folders;
  auto add_problem = [&](const std::string& folder, const std::string& lines) {
    if (lines.empty()) return;
    problems.add(lines);
    problem_folders.insert(folder);
  };
  int folders_done = 0;
  std::size_t items_taken = 0;  // a cancel ends the loop between items: these were verified whole
  for (std::size_t i = 0; i < plan.size() && !cancel_requested_; ++i) {
    const PlanItem& item = plan[i];
    if (i > 0 && item.folder != plan[i - 1].folder) ++folders_done;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::string status = collection_status_text(folders_done, folders_total, elapsed.count());
    set_label1(status);
    view_.yield();
    if (cancel_requested_) break;
    items_taken = i + 1;
    // A folder of the walk is taken only while it is still the folder listed; held for its run.
    PlanItem problem;
    std::unique_ptr<platform::HeldFolder> held;
    if (item.kind != ItemKind::kProblem && !(held = hold_walked_folder(item, problem))) {
      summary.add_problem(problem);
      add_problem(item.folder, problem_lines(problem));
      continue;
    }
    if (item.kind == ItemKind::kProblem) {
      summary.add_problem(item);
      add_problem(item.folder, problem_lines(item));
      continue;
    }
    // Each folder's progress under the collection's status line; its errors held for the summary.
    Form1Host host(view_, [&](const std::string& text) { set_label1(status + "\n" + text); }, &read_ahead_, &workers_);
    host.hold_errors();
    bool create_nfo = view_.check_value(Control::kChkNfo) == CheckValue::kChecked;
    ProblemEntryLines entry_lines;
    RunResult result = item.kind == ItemKind::kAudio
                           ? VerifyAudioFolder(item.folder, item.checksum_file, create_nfo, host, &entry_lines)
                           : VerifyLabelFolder(item.folder, host, item.checksum_file, &entry_lines);
    summary.add_run(result);
    std::string own_report = report_folder + collection_report_name(i + 1);
    write_report(own_report, result.report_text, report_host);
    add_problem(item.folder, problem_lines(result, own_report, entry_lines.lines));
  }
  // The folders verified, the one under way when Cancel came included: its run was finished.
  folders_done = 0;
  for (std::size_t i = 0; i < items_taken; ++i)
    if (i == 0 || plan[i].folder != plan[i - 1].folder) ++folders_done;

  std::string summary_path = report_folder + kSummaryReportName;
  const int with_problems = static_cast<int>(problem_folders.size());
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
