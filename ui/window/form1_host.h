#pragma once
// The run host of the window: progress in Label1, the window's events handled between files, the
// busy pointer, the ID3 boxes read at each file, and the error box. The error box offers to hold
// back the rest of the run's errors; those are shown together at the end of the run.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/host.h"
#include "engine/job_pool.h"
#include "platform/read_ahead.h"
#include "ui/window/form1_view.h"

namespace qn {

class Form1Host : public RunHost {
 public:
  // `show_label1` puts a progress text into Label1 (Form1 keeps its copy of the text that way).
  // `shared_read_ahead` and `shared_workers` are where the reader threads and the checking threads
  // are kept from run to run; without them the host keeps its own.
  Form1Host(Form1View& view, std::function<void(const std::string&)> show_label1,
            std::optional<platform::ReadAheadPool>* shared_read_ahead = nullptr,
            std::optional<JobPool>* shared_workers = nullptr);
  ~Form1Host() override;
  Form1Host(const Form1Host&) = delete;
  Form1Host& operator=(const Form1Host&) = delete;

  void show_progress(const std::string& text) override;
  void yield() override;
  void set_busy(bool busy) override;
  bool include_id3v1() override;
  bool include_id3v2() override;
  void enable_id3_options(bool enabled) override;
  void show_error(int number, const std::string& description, const std::string& context) override;
  // The reader threads start with the first run that asks for them.
  platform::ReadAheadPool* read_ahead() override;
  // The checking threads (the processors, at most 4) start with the first run that asks for them.
  JobPool* job_pool() override;

  // From now on errors are held back instead of shown one by one.
  void hold_errors() { holding_ = true; }
  // The errors held back, in one box; nothing when there are none.
  void show_held_errors();
  const std::vector<std::string>& held_errors() const { return held_; }

 private:
  // The box with the pointer normal meanwhile: it may be closed late.
  bool error_box(const std::string& text, bool offer_silence);

  Form1View& view_;
  std::function<void(const std::string&)> show_label1_;
  bool busy_ = false;
  bool holding_ = false;
  std::vector<std::string> held_;
  std::optional<platform::ReadAheadPool> own_read_ahead_;
  std::optional<platform::ReadAheadPool>* read_ahead_;
  std::optional<JobPool> own_workers_;
  std::optional<JobPool>* workers_;
};

}  // namespace qn
