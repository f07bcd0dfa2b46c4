#pragma once
// The run host of the window: progress in the status label, the event loop kept alive between
// files, the busy cursor, the ID3 boxes read at each file, and the error box. The error box offers
// to hold back the rest of the run's errors; those are shown together at the end of the run.
#include <QString>
#include <QStringList>
#include <optional>

#include "engine/host.h"
#include "platform/read_ahead.h"

class QCheckBox;
class QLabel;
class QWidget;

namespace qn {

class WindowServices;

class WindowHost : public RunHost {
 public:
  WindowHost(QWidget* owner, QLabel* progress, QCheckBox* id3v1, QCheckBox* id3v2, WindowServices& services);
  ~WindowHost() override;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  void show_progress(const std::string& text) override;
  void yield() override;
  void set_busy(bool busy) override;
  bool include_id3v1() override;
  bool include_id3v2() override;
  void enable_id3_options(bool enabled) override;
  void show_error(int number, const std::string& description, const std::string& context) override;
  // The reader threads start with the first run that asks for them.
  ReadAheadPool* read_ahead() override {
    if (!read_ahead_) read_ahead_.emplace(ReadAheadPool::kDefaultDepth);
    return &*read_ahead_;
  }

  // From now on errors are held back instead of shown one by one.
  void hold_errors() { holding_ = true; }
  // The errors held back, in one box; nothing when there are none.
  void show_held_errors();
  const QStringList& held_errors() const { return held_; }

 private:
  QWidget* owner_;
  QLabel* progress_;
  QCheckBox* id3v1_;
  QCheckBox* id3v2_;
  WindowServices& services_;
  bool busy_ = false;
  bool holding_ = false;
  QStringList held_;
  std::optional<ReadAheadPool> read_ahead_;
};

}  // namespace qn
