#pragma once
// What a run needs from its surroundings. The window, the command line and the tests each
// implement it; the core never talks to a screen or a terminal itself.
#include <ctime>
#include <string>

namespace qn {

namespace platform {
class ReadAheadPool;
}
class JobPool;

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
  // The local date and time for the report's date line.
  virtual std::tm now();
  // The reader threads that read the files of the next entries ahead of their checks; none (one
  // read at a time, each by its check) by default.
  virtual platform::ReadAheadPool* read_ahead() { return nullptr; }
  // The deep check of every found track after its fingerprint check; off by default.
  virtual bool deep_check() { return false; }
  // Plain words after each FAIL (always with the deep check).
  virtual bool hints() { return deep_check(); }
  // The workers that make the checks of the next entries ahead of the checking loop; none: each
  // check is made when its entry asks for it.
  virtual JobPool* job_pool() { return nullptr; }
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
  platform::ReadAheadPool* read_ahead() override { return pool; }
  bool deep_check() override { return deep; }
  bool hints() override { return deep || hint_words; }
  JobPool* job_pool() override { return workers; }

  platform::ReadAheadPool* pool = nullptr;
  bool deep = false;
  bool hint_words = false;
  JobPool* workers = nullptr;
  bool id3v1 = true;
  bool id3v2 = true;
  bool id3_enabled = true;
};

}  // namespace qn
