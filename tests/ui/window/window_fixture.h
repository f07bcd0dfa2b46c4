#pragma once
// What the window tests share: one QApplication for the whole program, stand-in desktop services
// that record what the window asked of them, and scratch folders.
#include <QApplication>
#include <QString>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ui/window/window_services.h"

#include "support/fixtures.h"

namespace qn::test {

// Creates the QApplication on first use (gtest_main owns main()).
QApplication& app();

class FakeServices : public WindowServices {
 public:
  std::string BrowseForFolder(QWidget*, const std::string& prompt) override {
    browse_prompts.push_back(prompt);
    return folder_answer;
  }
  std::string OpenChecksumFileDialog(QWidget*, const std::string& prompt, const std::string& folder) override {
    pick_prompts.push_back(prompt);
    pick_folders.push_back(folder);
    return pick_answer;
  }
  void show_error_box(QWidget*, const QString& title, const QString& text) override {
    error_titles.push_back(title);
    error_texts.push_back(text);
    if (on_error) on_error();
  }
  std::string report_path() override { return report_file; }
  void open_report(const std::string& path) override { opened_reports.push_back(path); }
  void register_shell(const std::string& command_line) override { registrations.push_back(command_line); }
  void end_program() override { ++ended; }

  std::string folder_answer;
  std::string pick_answer;
  std::string report_file;
  std::function<void()> on_error;

  std::vector<std::string> browse_prompts, pick_prompts, pick_folders, opened_reports, registrations;
  std::vector<QString> error_titles, error_texts;
  int ended = 0;
};



}  // namespace qn::test
