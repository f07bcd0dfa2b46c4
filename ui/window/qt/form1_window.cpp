#include "ui/window/qt/form1_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>

#include "ui/window/qt/report_view.h"
#include "ui/window/qt/window_services.h"

// The banner lives in this static library; its resources must be registered by hand.
static void init_window_resources() { Q_INIT_RESOURCE(banner); }

namespace qn {

namespace {

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
  // Folder and file names are shown as they are: a name never reads as markup.
  label->setTextFormat(Qt::PlainText);
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

Form1Window::Form1Window(WindowServices& services, QWidget* parent)
    : QWidget(parent), services_(services), form1_(*this) {
  init_window_resources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromStdString(window_title()));
  setFixedSize(405, 164);
  QFont small = font();
  if (small.pointSizeF() > 8.0) small.setPointSizeF(8.0);
  setFont(small);
  create_controls();
}

// Positions are the original twips divided by 15.
void Form1Window::create_controls() {
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
  outcome_ = make_label(this, "Outcome", "", nullptr, QRect(24, 146, 357, 16));
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

  // Only the user's clicks reach the logic; the values it sets itself do not come back to it.
  connect(Check3, &QCheckBox::clicked, this, [this] { form1_.Check3_Click(); });
  connect(btnBrowse, &QPushButton::clicked, this, [this] { form1_.btnBrowse_Click(); });
  connect(btnVerify, &QPushButton::clicked, this, [this] { form1_.btnVerify_Click(); });
}

void Form1Window::fit_to_font() {
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
  // Two lines of the status label, one of the outcome line.
  scale = std::max(scale, 2.0 * Label1->fontMetrics().lineSpacing() / Label1->height());
  scale = std::max(scale, static_cast<double>(outcome_->fontMetrics().lineSpacing()) / outcome_->height());
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
std::vector<std::pair<QLabel*, int>> Form1Window::label_rooms() const {
  return {{Label2, 88 - 43}, {Label3, 88 - 43}, {Label4, 184 - 107}, {Label5, 184 - 112}};
}

bool Form1Window::eventFilter(QObject* watched, QEvent* event) {
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

void Form1Window::closeEvent(QCloseEvent* event) {
  form1_.window_closing();
  QWidget::closeEvent(event);
}

QWidget* Form1Window::control(Control which) const {
  switch (which) {
    case Control::kCheck1: return Check1;
    case Control::kCheck2: return Check2;
    case Control::kChkNfo: return chkNfo;
    case Control::kCheck3: return Check3;
    case Control::kBtnBrowse: return btnBrowse;
    case Control::kBtnVerify: return btnVerify;
  }
  return nullptr;
}

QCheckBox* Form1Window::box(Control which) const { return qobject_cast<QCheckBox*>(control(which)); }

void Form1Window::set_title(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void Form1Window::show_window() { show(); }

void Form1Window::set_label1(const std::string& text) { Label1->setText(text_from_path(text)); }

CheckValue Form1Window::check_value(Control which) const {
  QCheckBox* b = box(which);
  if (b == nullptr) return CheckValue::kUnchecked;
  switch (b->checkState()) {
    case Qt::Checked: return CheckValue::kChecked;
    case Qt::PartiallyChecked: return CheckValue::kGreyed;
    default: return CheckValue::kUnchecked;
  }
}

void Form1Window::set_check_value(Control which, CheckValue value) {
  QCheckBox* b = box(which);
  if (b == nullptr) return;
  b->setCheckState(value == CheckValue::kChecked   ? Qt::Checked
                   : value == CheckValue::kGreyed ? Qt::PartiallyChecked
                                                  : Qt::Unchecked);
}

bool Form1Window::is_enabled(Control which) const { return control(which)->isEnabled(); }

void Form1Window::set_enabled(Control which, bool enabled) { control(which)->setEnabled(enabled); }

void Form1Window::set_verify_caption(const std::string& caption) { btnVerify->setText(QString::fromStdString(caption)); }

void Form1Window::set_outcome(const std::string& text, Outcome worst) {
  const long rgb = outcome_rgb(worst);
  QColor colour;
  if (rgb >= 0) colour = QColor::fromRgb(static_cast<QRgb>(rgb));
  QPalette palette = this->palette();
  if (colour.isValid()) palette.setColor(QPalette::WindowText, colour);
  outcome_->setPalette(palette);
  QFont bold = font();
  bold.setBold(worst != Outcome::kNone);
  outcome_->setFont(bold);
  const QString whole = text_from_path(text);
  const QFontMetrics metrics = outcome_->fontMetrics();
  const std::string shown = fit_outcome(text, outcome_->width(), [&](const std::string& piece) {
    return metrics.horizontalAdvance(text_from_path(piece));
  });
  outcome_->setText(text_from_path(shown));
  outcome_->setToolTip(whole);
}

void Form1Window::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

void Form1Window::yield() { QCoreApplication::processEvents(); }

std::string Form1Window::BrowseForFolder(const std::string& prompt, const std::string& start_folder) {
  return services_.BrowseForFolder(this, prompt, start_folder);
}

std::string Form1Window::OpenChecksumFileDialog(const std::string& prompt, const std::string& folder) {
  return services_.OpenChecksumFileDialog(this, prompt, folder);
}

bool Form1Window::show_error_box(const std::string& title, const std::string& text, bool offer_silence) {
  return services_.show_error_box(this, QString::fromStdString(title), text_from_path(text), offer_silence);
}

bool Form1Window::ask_yes_no(const std::string& title, const std::string& text) {
  return services_.ask_yes_no(this, QString::fromStdString(title), text_from_path(text));
}

std::string Form1Window::report_path() { return services_.report_path(); }

bool Form1Window::open_report(const std::string& path) { return services_.open_report(path); }

void Form1Window::show_report_in_window(const std::string& path, const std::string& text) {
  if (report_view_ == nullptr) report_view_ = new ReportView(this, services_);
  report_view_->show_report(path, text);
}

std::string Form1Window::home_folder() { return path_from_text(QDir::toNativeSeparators(QDir::homePath())); }

// Only a start without argument registers, so the command line it registers with is empty.
void Form1Window::register_shell() { services_.register_shell(std::string()); }

void Form1Window::end_program() { services_.end_program(); }

}  // namespace qn
