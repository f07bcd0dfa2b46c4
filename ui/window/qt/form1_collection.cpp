// The many-folder run of the window: a folder without a checksum file whose sub-folders hold some
// is verified as a collection, with the walk and summary of `qnverify -r`.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <set>

#include "base/paths.h"
#include "engine/collection_summary.h"
#include "engine/verify.h"
#include "ui/window/collection_report.h"
#include "ui/window/qt/form1.h"
#include "ui/window/qt/window_host.h"
#include "ui/window/qt/window_services.h"

namespace qn {

namespace {

int folder_count(const std::vector<PlanItem>& plan) {
  std::set<std::string> folders;
  for (const PlanItem& item : plan) folders.insert(item.folder);
  return static_cast<int>(folders.size());
}

// The host of one folder of a collection run: its progress under the collection's status line,
// its errors held back for the summary report.
class CollectionHost : public WindowHost {
 public:
  CollectionHost(QWidget* owner, QLabel* progress, QCheckBox* id3v1, QCheckBox* id3v2, WindowServices& services,
                 std::string status)
      : WindowHost(owner, progress, id3v1, id3v2, services), status_(std::move(status)) {
    hold_errors();
  }
  void show_progress(const std::string& text) override { WindowHost::show_progress(status_ + "\n" + text); }

 private:
  std::string status_;
};

}  // namespace

void Form1::offer_collection(const std::string& folder) {
  std::vector<PlanItem> plan = walk_collection(folder);
  // Only problems (the folder itself cannot be read, say): there is nothing to offer.
  if (std::none_of(plan.begin(), plan.end(), [](const PlanItem& item) { return item.kind != ItemKind::kProblem; }))
    return;
  int folders = folder_count(plan);
  QString question = QLatin1String(kNoChecksumFile) + text_from_path(folder) + QStringLiteral(", but ") +
                     QString::number(folders) +
                     (folders == 1 ? QStringLiteral(" folder below it holds") : QStringLiteral(" folders below it hold")) +
                     QStringLiteral(" checksum files.\r\n\r\nVerify them all?");
  if (!services_.ask_yes_no(this, QString::fromLatin1(kApplicationTitle), question)) return;
  run_collection(folder, plan);
}

// Every folder of the plan in turn, as `qnverify -r` does, each report written beside the
// summary report; nothing is asked per folder. Verify is the Cancel meanwhile; a cancelled run
// still writes and shows the summary of the folders done.
void Form1::run_collection(const std::string& root, const std::vector<PlanItem>& plan) {
  running_ = true;
  collection_running_ = true;
  cancel_requested_ = false;
  bool browse_enabled = btnBrowse->isEnabled();
  bool mode_enabled = Check3->isEnabled();
  bool verify_enabled = btnVerify->isEnabled();
  btnBrowse->setEnabled(false);
  Check3->setEnabled(false);
  btnVerify->setText(QStringLiteral("Cancel"));
  btnVerify->setEnabled(true);

  const std::string report_folder = FolderOfPath(services_.report_path());
  const int folders_total = folder_count(plan);
  const auto start = std::chrono::steady_clock::now();
  Summary summary;
  std::string problems;
  int folders_done = 0;
  WindowHost report_host(this, Label1, Check1, Check2, services_);
  for (std::size_t i = 0; i < plan.size() && !cancel_requested_; ++i) {
    const PlanItem& item = plan[i];
    if (i > 0 && item.folder != plan[i - 1].folder) ++folders_done;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::string status = collection_status_text(folders_done, folders_total, elapsed.count());
    Label1->setText(text_from_path(status));
    QCoreApplication::processEvents();
    if (cancel_requested_) break;
    if (item.kind == ItemKind::kProblem) {
      summary.add_problem(item);
      problems += problem_lines(item);
      continue;
    }
    CollectionHost host(this, Label1, Check1, Check2, services_, status);
    RunResult result = item.kind == ItemKind::kAudio
                           ? VerifyAudioFolder(item.folder, item.checksum_file, chkNfo->checkState() == Qt::Checked, host)
                           : VerifyLabelFolder(item.folder, host, item.checksum_file);
    summary.add_run(result);
    std::string own_report = report_folder + collection_report_name(i + 1);
    write_report(own_report, result.report_text, report_host);
    problems += problem_lines(result, own_report);
  }
  if (!cancel_requested_) folders_done = folders_total;

  std::string summary_path = report_folder + kSummaryReportName;
  std::string text = collection_report_text(root, summary, problems, folders_done, folders_total);
  if (write_report(summary_path, text, report_host)) show_report(summary_path, text);
  report_host.show_held_errors();

  set_label1_message(QStringLiteral("Verified ") + QString::number(folders_done) + QStringLiteral(" of ") +
                     QString::number(folders_total) + QStringLiteral(" folders below ") + text_from_path(root));
  btnVerify->setText(QStringLiteral("Verify"));
  btnVerify->setEnabled(verify_enabled);
  btnBrowse->setEnabled(browse_enabled);
  Check3->setEnabled(mode_enabled);
  collection_running_ = false;
  running_ = false;
}

}  // namespace qn
