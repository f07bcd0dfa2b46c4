#pragma once
// The program's one window: the options of a run as check boxes, Browse and Verify, and the status
// label that shows messages and progress and carries the chosen folder to the run. A folder
// without a checksum file whose sub-folders hold some can be verified as a collection.
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "base/file_list.h"
#include "engine/collection_walk.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace qn {

class ReportView;
class WindowServices;

// The message of a folder without checksum file; the folder follows.
inline constexpr const char* kNoChecksumFile = "No .qn file found in ";

// The window's title: the product, its version and the revision text.
QString window_title();

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(WindowServices& services, QWidget* parent = nullptr);

  // The start-up sequence. `command_line` is every argument joined by single blanks; with one,
  // the folder of the named file is verified at once, without one the shell registration is
  // written. Shows the window unless the program was ended.
  void Form_Load(const std::string& command_line);

  // The checksum files found for the chosen folder; element 1 is the one a run uses.
  const FileList& checksum_files() const { return checksum_files_; }
  // True while a run is in progress (a further Verify is refused meanwhile).
  bool running() const { return running_; }
  // The window's own report view, once it was needed (the desktop could not show a report).
  ReportView* report_view() const { return report_view_; }

 public slots:
  void Check3_Click();
  void btnBrowse_Click();
  void btnVerify_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void create_controls();
  // Grows the fixed layout evenly where the font needs more room than the fixed sizes give.
  void fit_to_font();
  std::vector<std::pair<QLabel*, int>> label_rooms() const;
  // Label1 shows `path`; the exact bytes are kept so that a name the display cannot spell
  // survives the way back to the run.
  void set_label1_path(const std::string& path);
  void set_label1_message(const QString& message);
  std::string folder_from_label1() const;
  // One run, audio or labels, with its report written and shown.
  enum class ChecksumFileFound { kNone, kCancelled, kOne };
  ChecksumFileFound find_checksum_file(const std::string& folder);
  void run(bool labels);
  // Without a checksum file in `folder`: offers the folders below it that hold one.
  void offer_collection(const std::string& folder);
  void run_collection(const std::string& root, const std::vector<PlanItem>& plan);
  // The desktop's viewer on the report, or the window's own view where that fails.
  void show_report(const std::string& path, const std::string& text);
  std::string browse_start_folder() const;

  WindowServices& services_;
  FileList checksum_files_ = empty_file_list();
  std::string label1_path_;
  bool running_ = false;
  bool collection_running_ = false;
  bool cancel_requested_ = false;
  std::string last_folder_;  // the folder last chosen or started with, where Browse opens
  ReportView* report_view_ = nullptr;

  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* Label2 = nullptr;
  QCheckBox* Check2 = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* chkNfo = nullptr;
  QLabel* Label4 = nullptr;
  QCheckBox* Check3 = nullptr;
  QLabel* Label5 = nullptr;
  QPushButton* btnBrowse = nullptr;
  QPushButton* btnVerify = nullptr;
};

}  // namespace qn
