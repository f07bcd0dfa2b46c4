#pragma once
// A window without a toolkit for the tests of the window's logic: controls as plain values, the
// dialogs answered from a script, and everything asked of the desktop recorded.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/window/form1.h"
#include "ui/window/form1_view.h"

namespace qn::test {

class RecordingView : public Form1View {
 public:
  void set_title(const std::string& text) override { title = text; }
  void show_window() override { visible = true; }
  void set_label1(const std::string& text) override { label1 = text; }
  CheckValue check_value(Control box) const override { return values.at(box); }
  void set_check_value(Control box, CheckValue value) override { values.at(box) = value; }
  bool is_enabled(Control control) const override { return enabled.at(control); }
  void set_enabled(Control control, bool on) override { enabled.at(control) = on; }
  void set_verify_caption(const std::string& caption) override { verify_caption = caption; }
  void set_outcome(const std::string& text, qn::Outcome worst) override {
    outcome = text;
    outcome_worst = worst;
  }
  void set_busy(bool on) override { busy = on; }
  void yield() override {
    if (on_yield) on_yield();
  }
  std::string BrowseForFolder(const std::string& prompt, const std::string& start_folder) override {
    browse_prompts.push_back(prompt);
    browse_starts.push_back(start_folder);
    return folder_answer;
  }
  std::string OpenChecksumFileDialog(const std::string& prompt, const std::string& folder) override {
    pick_prompts.push_back(prompt);
    pick_folders.push_back(folder);
    return pick_answer;
  }
  bool show_error_box(const std::string& title, const std::string& text, bool offer_silence) override {
    error_titles.push_back(title);
    error_texts.push_back(text);
    busy_in_error_box = busy_in_error_box || busy;
    if (on_error) on_error();
    return offer_silence && silence_after > 0 && static_cast<int>(error_texts.size()) >= silence_after;
  }
  bool ask_yes_no(const std::string&, const std::string& text) override {
    questions.push_back(text);
    return yes_answer;
  }
  std::string report_path() override { return report_file; }
  bool open_report(const std::string& path) override {
    opened_reports.push_back(path);
    return opener_works;
  }
  void show_report_in_window(const std::string& path, const std::string& text) override {
    reports_in_window.push_back(path);
    report_texts_in_window.push_back(text);
  }
  std::string home_folder() override { return home; }
  void register_shell() override { ++registrations; }
  void end_program() override { ++ended; }

  // The controls, as a fresh window has them.
  std::map<Control, CheckValue> values = {{Control::kCheck1, CheckValue::kChecked},
                                          {Control::kCheck2, CheckValue::kChecked},
                                          {Control::kChkNfo, CheckValue::kChecked},
                                          {Control::kCheck3, CheckValue::kUnchecked}};
  std::map<Control, bool> enabled = {{Control::kCheck1, true},    {Control::kCheck2, true},
                                     {Control::kChkNfo, true},    {Control::kCheck3, true},
                                     {Control::kBtnBrowse, true}, {Control::kBtnVerify, false}};
  std::string title, label1 = kAudioPrompt, verify_caption = "Verify";
  std::string outcome;
  qn::Outcome outcome_worst = qn::Outcome::kNone;
  bool visible = false, busy = false, busy_in_error_box = false;

  // The script.
  std::string folder_answer, pick_answer, report_file, home = "/home/collector";
  int silence_after = 0;  // the box of this error (from 1) has its offer taken
  bool yes_answer = false;
  bool opener_works = true;
  std::function<void()> on_yield, on_error;

  // What was asked.
  std::vector<std::string> browse_prompts, browse_starts, pick_prompts, pick_folders, error_titles, error_texts,
      questions, opened_reports, reports_in_window, report_texts_in_window;
  int registrations = 0;
  int ended = 0;
};

}  // namespace qn::test
