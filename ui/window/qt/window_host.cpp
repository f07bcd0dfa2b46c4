#include "ui/window/qt/window_host.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

#include "ui/window/qt/window_services.h"

namespace qn {

WindowHost::WindowHost(QWidget* owner, QLabel* progress, QCheckBox* id3v1, QCheckBox* id3v2,
                       WindowServices& services)
    : owner_(owner), progress_(progress), id3v1_(id3v1), id3v2_(id3v2), services_(services) {}

// A run cut short still gives the pointer back.
WindowHost::~WindowHost() { set_busy(false); }

void WindowHost::show_progress(const std::string& text) { progress_->setText(text_from_path(text)); }

void WindowHost::yield() { QCoreApplication::processEvents(); }

void WindowHost::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

bool WindowHost::include_id3v1() { return id3v1_->checkState() == Qt::Checked; }

bool WindowHost::include_id3v2() { return id3v2_->checkState() == Qt::Checked; }

void WindowHost::enable_id3_options(bool enabled) {
  id3v1_->setEnabled(enabled);
  id3v2_->setEnabled(enabled);
}

void WindowHost::show_error(int number, const std::string& description, const std::string& context) {
  QString text = QString::number(number) + QLatin1Char(' ') + text_from_path(description) +
                 QStringLiteral("\r\n") + text_from_path(context);
  if (holding_) {
    held_.append(text);
    return;
  }
  // The box may be closed late; the pointer must not stay an hourglass over it.
  bool was_busy = busy_;
  set_busy(false);
  if (services_.show_error_box(owner_, QString::fromLatin1(kApplicationTitle), text, true)) holding_ = true;
  set_busy(was_busy);
}

void WindowHost::show_held_errors() {
  if (held_.isEmpty()) return;
  QString text = (held_.size() == 1 ? QStringLiteral("1 further error of this run:")
                                    : QString::number(held_.size()) + QStringLiteral(" further errors of this run:"));
  text += QStringLiteral("\r\n\r\n") + held_.join(QStringLiteral("\r\n\r\n"));
  held_.clear();
  bool was_busy = busy_;
  set_busy(false);
  services_.show_error_box(owner_, QString::fromLatin1(kApplicationTitle), text, false);
  set_busy(was_busy);
}

}  // namespace qn
