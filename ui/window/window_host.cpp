#include "ui/window/window_host.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

#include "ui/window/window_services.h"

namespace qn {

WindowHost::WindowHost(QWidget* owner, QLabel* progress, QCheckBox* id3v1, QCheckBox* id3v2,
                       WindowServices& services)
    : owner_(owner), progress_(progress), id3v1_(id3v1), id3v2_(id3v2), services_(services) {}

// A run cut short still gives the pointer back.
WindowHost::~WindowHost() { SetBusy(false); }

void WindowHost::ShowProgress(const std::string& text) { progress_->setText(TextFromPath(text)); }

void WindowHost::Yield() { QCoreApplication::processEvents(); }

void WindowHost::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

bool WindowHost::IncludeID3v1() { return id3v1_->checkState() == Qt::Checked; }

bool WindowHost::IncludeID3v2() { return id3v2_->checkState() == Qt::Checked; }

void WindowHost::EnableID3Options(bool enabled) {
  id3v1_->setEnabled(enabled);
  id3v2_->setEnabled(enabled);
}

void WindowHost::ShowError(int number, const std::string& description, const std::string& context) {
  QString text = QString::number(number) + QLatin1Char(' ') + TextFromPath(description) +
                 QStringLiteral("\r\n") + TextFromPath(context);
  // The box may be closed late; the pointer must not stay an hourglass over it.
  bool was_busy = busy_;
  SetBusy(false);
  services_.ShowErrorBox(owner_, QString::fromLatin1(kApplicationTitle), text);
  SetBusy(was_busy);
}

}  // namespace qn
