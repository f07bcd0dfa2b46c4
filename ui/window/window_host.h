#pragma once
// The run host of the window: progress in the status label, the event loop kept alive between
// files, the busy cursor, the ID3 boxes read at each file, and the error box.
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
  ReadAheadPool* read_ahead() override { return &read_ahead_; }

 private:
  QWidget* owner_;
  QLabel* progress_;
  QCheckBox* id3v1_;
  QCheckBox* id3v2_;
  WindowServices& services_;
  bool busy_ = false;
  ReadAheadPool read_ahead_{ReadAheadPool::kDefaultDepth};
};

}  // namespace qn
