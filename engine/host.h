#pragma once
// What a run asks of its surroundings while it goes on: it talks to a person through it, and reads
// the two ID3 boxes at each file, so that a change during a run takes effect. The window, the
// command line and the tests each implement it; the core never talks to a screen or a terminal
// itself. What is fixed for the run is in RunOptions.
#include <string>

namespace qn {

class RunHost {
 public:
  virtual ~RunHost() = default;
  // Progress text (the window's folder label).
  virtual void show_progress(const std::string& text) = 0;
  // Lets the window repaint between entries.
  virtual void yield() = 0;
  virtual void set_busy(bool busy) = 0;
  // The two ID3 options, read at the moment a file is checked.
  virtual bool include_id3v1() = 0;
  virtual bool include_id3v2() = 0;
  // The run enables them for MP3 folders and disables them for FLAC folders.
  virtual void enable_id3_options(bool enabled) = 0;
  // A failed step: error number, description, and the context line (the current checksum line,
  // or the report path).
  virtual void show_error(int number, const std::string& description, const std::string& context) = 0;
};

// A host that does nothing and ticks both ID3 options; tests and tools derive from it.
class QuietHost : public RunHost {
 public:
  void show_progress(const std::string&) override {}
  void yield() override {}
  void set_busy(bool) override {}
  bool include_id3v1() override { return id3v1; }
  bool include_id3v2() override { return id3v2; }
  void enable_id3_options(bool enabled) override { id3_enabled = enabled; }
  void show_error(int, const std::string&, const std::string&) override {}
  bool id3v1 = true;
  bool id3v2 = true;
  bool id3_enabled = true;
};

}  // namespace qn
