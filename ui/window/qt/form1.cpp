#include "ui/window/qt/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "audio/frame_header.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/verify.h"
#include "platform/find_files.h"
#include "ui/window/qt/report_view.h"
#include "ui/window/qt/window_host.h"
#include "ui/window/qt/window_services.h"

// The banner lives in this static library; its resources must be registered by hand.
static void init_window_resources() { Q_INIT_RESOURCE(banner); }

namespace qn {

namespace {

const char* const kAudioPrompt = "Browse to mp3 or flac Folder";
const char* const kLabelPrompt = "Browse to Label Folder";

// A check box drawn without text of its own; the label beside it names it.
QCheckBox* make_box(QWidget* parent, const char* name, const char* tooltip, QRect geometry, bool checked) {
  auto* box = new QCheckBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setToolTip(QLatin1String(tooltip));
  box->setGeometry(geometry);
  box->setChecked(checked);
  return box;
}

QLabel* make_label(QWidget* parent, const char* name, const char* text, const char* tooltip, QRect geometry) {
  auto* label = new QLabel(QLatin1String(text), parent);
  label->setObjectName(QLatin1String(name));
  if (tooltip != nullptr) label->setToolTip(QLatin1String(tooltip));
  label->setGeometry(geometry);
  return label;
}

QPushButton* make_button(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* button = new QPushButton(QLatin1String(text), parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(geometry);
  // Enter as well as Space presses the button that has the focus.
  button->setAutoDefault(true);
  return button;
}

}  // namespace

QString window_title() { return QStringLiteral("Quarnell Verify ") + QLatin1String(kVersionText) + QLatin1Char(' ') + QLatin1String(kRevisionText); }

Form1::Form1(WindowServices& services, QWidget* parent) : QWidget(parent), services_(services) {
  init_window_resources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(window_title());
  setFixedSize(405, 164);
  QFont small = font();
  if (small.pointSizeF() > 8.0) small.setPointSizeF(8.0);
  setFont(small);
  create_controls();
}

// Positions are the original twips divided by 15.
void Form1::create_controls() {
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(24, 8, 360, 48);
  Image1->setPixmap(QPixmap(QStringLiteral(":/quarnell-verify/banner.png")));

  Label1 = make_label(this, "Label1", kAudioPrompt, nullptr, QRect(39, 61, 333, 40));
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // Check1 and chkNfo are 16 pixels high, up to the row below: at 13 their boxes were cut.
  Check1 = make_box(this, "Check1", "Include ID3v1", QRect(24, 109, 17, 16), true);
  Label2 = make_label(this, "Label2", "ID3v1", "Include ID3v1", QRect(43, 109, 32, 17));
  Check2 = make_box(this, "Check2", "Include ID3v2", QRect(24, 125, 17, 17), true);
  Label3 = make_label(this, "Label3", "ID3v2", "Include ID3v2", QRect(43, 127, 32, 17));
  const char* nfo_tip = "Automatically Create Missing .nfo Files";
  chkNfo = make_box(this, "chkNfo", nfo_tip, QRect(88, 109, 17, 16), true);
  Label4 = make_label(this, "Label4", ".NFO", nfo_tip, QRect(107, 109, 32, 17));
  Check3 = make_box(this, "Check3", "Select/DeSelect Images", QRect(88, 125, 17, 17), false);
  Label5 = make_label(this, "Label5", "Images", "Select/DeSelect Images", QRect(112, 127, 40, 17));

  btnBrowse = make_button(this, "btnBrowse", "Browse", QRect(184, 113, 73, 25));
  btnVerify = make_button(this, "btnVerify", "Verify", QRect(288, 113, 73, 25));
  btnVerify->setEnabled(false);
  fit_to_font();

  // A click on a box's name toggles the box, as a click on a box's own text would.
  for (QLabel* label : {Label2, Label3, Label4, Label5}) label->installEventFilter(this);

  // Labels take no focus here, so the fixed order reduces to the buttons and boxes.
  setTabOrder(btnBrowse, btnVerify);
  setTabOrder(btnVerify, Check1);
  setTabOrder(Check1, Check2);
  setTabOrder(Check2, chkNfo);
  setTabOrder(chkNfo, Check3);
  btnBrowse->setFocus();

  connect(Check3, &QCheckBox::stateChanged, this, &Form1::Check3_Click);
  connect(btnBrowse, &QPushButton::clicked, this, &Form1::btnBrowse_Click);
  connect(btnVerify, &QPushButton::clicked, this, &Form1::btnVerify_Click);
}

void Form1::fit_to_font() {
  const QList<QWidget*> controls = {Label2, Label3, Label4, Label5, Check1, Check2, chkNfo, Check3, btnBrowse,
                                    btnVerify};
  double scale = 1.0;
  for (QWidget* control : controls) {
    QSize hint = control->sizeHint();
    scale = std::max(scale, static_cast<double>(hint.height()) / control->height());
    // A button's text with some room on both sides (its size hint also holds a minimum width).
    if (auto* button = qobject_cast<QPushButton*>(control))
      scale = std::max(scale, (button->fontMetrics().horizontalAdvance(button->text()) + 16.0) / button->width());
  }
  // Two lines of the status label.
  scale = std::max(scale, 2.0 * Label1->fontMetrics().lineSpacing() / Label1->height());
  // A box's name may grow to the right up to the next control of its row.
  for (const auto& [label, room] : label_rooms())
    scale = std::max(scale, static_cast<double>(label->sizeHint().width()) / room);
  if (scale > 1.0) {
    auto scaled = [scale](int v) { return static_cast<int>(std::ceil(v * scale)); };
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      QRect r = control->geometry();
      // Corners scaled, so that controls that touched still touch and do not overlap.
      QPoint top_left(scaled(r.left()), scaled(r.top()));
      QPoint end(scaled(r.left() + r.width()), scaled(r.top() + r.height()));
      QSize size = control == Image1 ? r.size() : QSize(end.x() - top_left.x(), end.y() - top_left.y());
      control->setGeometry(QRect(top_left, size));
    }
    setFixedSize(scaled(405), scaled(164));
  }
  for (const auto& [label, room] : label_rooms())
    if (label->sizeHint().width() > label->width()) label->resize(label->sizeHint().width(), label->height());
}

// Each name with the room it has in the fixed layout: up to the next control of its row.
std::vector<std::pair<QLabel*, int>> Form1::label_rooms() const {
  return {{Label2, 88 - 43}, {Label3, 88 - 43}, {Label4, 184 - 107}, {Label5, 184 - 112}};
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    QCheckBox* box = watched == Label2 ? Check1 : watched == Label3 ? Check2 : watched == Label4 ? chkNfo
                                                                 : watched == Label5 ? Check3 : nullptr;
    // click() does nothing on a disabled box.
    if (box != nullptr) {
      box->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
  cancel_requested_ = true;
  QWidget::closeEvent(event);
}

void Form1::set_label1_path(const std::string& path) {
  label1_path_ = path;
  Label1->setText(text_from_path(path));
}

void Form1::set_label1_message(const QString& message) {
  label1_path_.clear();
  Label1->setText(message);
}

std::string Form1::folder_from_label1() const {
  if (!label1_path_.empty() && Label1->text() == text_from_path(label1_path_)) return label1_path_;
  return path_from_text(Label1->text());
}

void Form1::Form_Load(const std::string& command_line) {
  setWindowTitle(window_title());
  InitBitrateTable();
  if (command_line.empty()) {
    services_.register_shell(command_line);
    show();
    return;
  }
  // The named file only serves to name its folder; a folder named itself is taken as it is.
  std::error_code ec;
  std::string folder = std::filesystem::is_directory(std::filesystem::path(command_line), ec)
                           ? AddBackslash(command_line)
                           : FolderOfPath(command_line);
  last_folder_ = folder;
  switch (find_checksum_file(folder)) {
    case ChecksumFileFound::kNone:
      show();
      offer_collection(folder);
      return;
    case ChecksumFileFound::kCancelled: return;
    case ChecksumFileFound::kOne: break;
  }
  bool labels = text::contains(FileNameOfPath(checksum_files_[1]), "Labels.qn");
  Check3->setCheckState(labels ? Qt::Checked : Qt::Unchecked);
  // After the mode is set: a change of mode disables Verify until a folder is chosen again.
  btnVerify->setEnabled(true);
  set_label1_path(folder);
  show();
  btnVerify_Click();
}

void Form1::Check3_Click() {
  switch (Check3->checkState()) {
    case Qt::Checked:
      set_label1_message(QLatin1String(kLabelPrompt));
      break;
    case Qt::Unchecked:
      set_label1_message(QLatin1String(kAudioPrompt));
      break;
    default:
      return;
  }
  bool audio = Check3->checkState() == Qt::Unchecked;
  Check1->setEnabled(audio);
  Check2->setEnabled(audio);
  chkNfo->setEnabled(audio);
  // The prompt has replaced the folder that a run would read from Label1.
  btnVerify->setEnabled(false);
}

void Form1::btnBrowse_Click() {
  if (running_) return;
  std::string prompt;
  switch (Check3->checkState()) {
    case Qt::Unchecked:
      prompt = "Containing Quarnell .qn file for mp3's/flacs:";
      break;
    case Qt::Checked:
      prompt = "Containing Quarnell .qn file for images:";
      break;
    default:
      return;
  }
  std::string folder = services_.BrowseForFolder(this, prompt, browse_start_folder());
  if (folder.empty()) return;
  last_folder_ = folder;
  switch (find_checksum_file(folder)) {
    case ChecksumFileFound::kNone: offer_collection(folder); return;
    case ChecksumFileFound::kCancelled: return;
    case ChecksumFileFound::kOne: break;
  }
  set_label1_path(FolderOfPath(checksum_files_[1]));
  btnVerify->setEnabled(true);
}

// The folder's checksum file into checksum_files_: none says so in Label1 and disables Verify;
// several are offered to pick from, and a cancelled pick ends the program.
Form1::ChecksumFileFound Form1::find_checksum_file(const std::string& folder) {
  checksum_files_ = FindFiles(folder, "*.qn", false);
  if (file_count(checksum_files_) < 1) {
    set_label1_message(QLatin1String(kNoChecksumFile) + text_from_path(folder));
    btnVerify->setEnabled(false);
    return ChecksumFileFound::kNone;
  }
  if (file_count(checksum_files_) > 1) {
    checksum_files_ = ChooseChecksumFile(folder, services_, this);
    if (file_count(checksum_files_) < 1) {
      services_.end_program();
      return ChecksumFileFound::kCancelled;
    }
  }
  return ChecksumFileFound::kOne;
}

std::string Form1::browse_start_folder() const {
  std::error_code ec;
  if (!last_folder_.empty() && std::filesystem::is_directory(std::filesystem::path(last_folder_), ec))
    return last_folder_;
  return path_from_text(QDir::toNativeSeparators(QDir::homePath()));
}

void Form1::btnVerify_Click() {
  // During a collection run the button is its Cancel.
  if (collection_running_) {
    cancel_requested_ = true;
    btnVerify->setEnabled(false);
    return;
  }
  // A run yields to the event loop between files; a second run would interleave two reports.
  if (running_) return;
  if (Check3->checkState() == Qt::Unchecked) run(false);
  if (Check3->checkState() == Qt::Checked) run(true);
}

void Form1::run(bool labels) {
  running_ = true;
  // The folder and the checksum-file list must stay what this run started with.
  bool browse_enabled = btnBrowse->isEnabled();
  bool mode_enabled = Check3->isEnabled();
  btnBrowse->setEnabled(false);
  Check3->setEnabled(false);

  std::string folder = folder_from_label1();
  {
    WindowHost host(this, Label1, Check1, Check2, services_);
    RunResult result;
    std::string checksum = file_count(checksum_files_) >= 1 ? checksum_files_[1] : std::string();
    if (labels) {
      // A label checksum file the user chose is the one verified against.
      if (!text::contains(FileNameOfPath(checksum), "Labels.qn")) checksum.clear();
      result = VerifyLabelFolder(folder, host, checksum);
    } else {
      result = VerifyAudioFolder(folder, checksum, chkNfo->checkState() == Qt::Checked, host);
    }
    host.set_busy(false);
    std::string report = services_.report_path();
    // A report that could not be written is not shown: the viewer would show an older one.
    if (write_report(report, result.report_text, host)) show_report(report, result.report_text);
    host.show_held_errors();
  }
  // The progress text replaced the folder; put it back so that Verify can run again.
  set_label1_path(folder);

  btnBrowse->setEnabled(browse_enabled);
  Check3->setEnabled(mode_enabled);
  running_ = false;
}

void Form1::show_report(const std::string& path, const std::string& text) {
  if (services_.open_report(path)) return;
  if (report_view_ == nullptr) report_view_ = new ReportView(this, services_);
  report_view_->show_report(path, text);
}

}  // namespace qn
