#pragma once
// What the window tests share: one QApplication for the whole program, stand-in desktop services
// that record what the window asked of them, and scratch folders.
#include <QApplication>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/window/qt/window_services.h"

#include "support/fixtures.h"

namespace qn::test {

// Creates the QApplication on first use (gtest_main owns main()).
QApplication& app();

class FakeServices : public WindowServices {
 public:
  std::string BrowseForFolder(QWidget*, const std::string& prompt, const std::string& start_folder) override {
    browse_prompts.push_back(prompt);
    browse_starts.push_back(start_folder);
    return folder_answer;
  }
  std::string OpenChecksumFileDialog(QWidget*, const std::string& prompt, const std::string& folder) override {
    pick_prompts.push_back(prompt);
    pick_folders.push_back(folder);
    return pick_answer;
  }
  bool show_error_box(QWidget*, const QString& title, const QString& text, bool offer_silence) override {
    error_titles.push_back(title);
    error_texts.push_back(text);
    if (on_error) on_error();
    return offer_silence && silence_after > 0 && static_cast<int>(error_texts.size()) >= silence_after;
  }
  bool ask_yes_no(QWidget*, const QString&, const QString& text) override {
    questions.push_back(text);
    if (on_question) on_question();
    return yes_answer;
  }
  std::string report_path() override { return report_file; }
  bool open_report(const std::string& path) override {
    opened_reports.push_back(path);
    return opener_works;
  }
  bool open_folder(const std::string& folder) override {
    opened_folders.push_back(folder);
    return opener_works;
  }
  void register_shell(const std::string& command_line) override { registrations.push_back(command_line); }
  void end_program() override { ++ended; }

  std::string folder_answer;
  std::string pick_answer;
  std::string report_file;
  std::function<void()> on_error;
  std::function<void()> on_question;
  int silence_after = 0;  // the box of this error (from 1) has its check box ticked
  bool yes_answer = false;
  bool opener_works = true;

  std::vector<std::string> browse_prompts, browse_starts, pick_prompts, pick_folders, opened_reports,
      opened_folders, registrations;
  std::vector<QString> error_titles, error_texts, questions;
  int ended = 0;
};



}  // namespace qn::test
