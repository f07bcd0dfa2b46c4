#include "ui/window/form1_host.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "ui/window/form1.h"

namespace qn {

Form1Host::Form1Host(Form1View& view, std::function<void(const std::string&)> show_label1,
                     std::optional<platform::ReadAheadPool>* shared_read_ahead, std::optional<JobPool>* shared_workers)
    : view_(view),
      show_label1_(std::move(show_label1)),
      read_ahead_(shared_read_ahead != nullptr ? shared_read_ahead : &own_read_ahead_),
      workers_(shared_workers != nullptr ? shared_workers : &own_workers_) {}

// A run cut short still gives the pointer back.
Form1Host::~Form1Host() { set_busy(false); }

void Form1Host::show_progress(const std::string& text) { show_label1_(text); }

void Form1Host::yield() { view_.yield(); }

void Form1Host::set_busy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  view_.set_busy(busy);
}

// Only a ticked box counts; a greyed one does not.
bool Form1Host::include_id3v1() { return view_.check_value(Control::kCheck1) == CheckValue::kChecked; }

bool Form1Host::include_id3v2() { return view_.check_value(Control::kCheck2) == CheckValue::kChecked; }

void Form1Host::enable_id3_options(bool enabled) {
  view_.set_enabled(Control::kCheck1, enabled);
  view_.set_enabled(Control::kCheck2, enabled);
}

platform::ReadAheadPool* Form1Host::read_ahead() {
  if (!*read_ahead_) read_ahead_->emplace(platform::ReadAheadPool::kDefaultDepth);
  return &**read_ahead_;
}

JobPool* Form1Host::job_pool() {
  const unsigned processors = std::min(std::thread::hardware_concurrency(), 4u);
  if (processors < 2) return nullptr;  // every check in the run's loop
  if (!*workers_) workers_->emplace(static_cast<int>(processors));
  return &**workers_;
}

void Form1Host::show_error(int number, const std::string& description, const std::string& context) {
  std::string text = std::to_string(number) + ' ' + description + "\r\n" + context;
  if (holding_) {
    held_.push_back(std::move(text));
    return;
  }
  if (error_box(text, true)) holding_ = true;
}

void Form1Host::show_held_errors() {
  if (held_.empty()) return;
  std::string text = held_.size() == 1 ? std::string("1 further error of this run:")
                                       : std::to_string(held_.size()) + " further errors of this run:";
  for (const std::string& error : held_) text += "\r\n\r\n" + error;
  held_.clear();
  error_box(text, false);
}

bool Form1Host::error_box(const std::string& text, bool offer_silence) {
  bool was_busy = busy_;
  set_busy(false);
  bool silence = view_.show_error_box(kApplicationTitle, text, offer_silence);
  set_busy(was_busy);
  return silence;
}

}  // namespace qn
