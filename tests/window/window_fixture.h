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

namespace qn::testing {

// Creates the QApplication on first use (gtest_main owns main()).
QApplication& App();

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
  void ShowErrorBox(QWidget*, const QString& title, const QString& text) override {
    error_titles.push_back(title);
    error_texts.push_back(text);
    if (on_error) on_error();
  }
  std::string ReportPath() override { return report_path; }
  void OpenReport(const std::string& path) override { opened_reports.push_back(path); }
  void RegisterShell(const std::string& command_line) override { registrations.push_back(command_line); }
  void EndProgram() override { ++ended; }

  std::string folder_answer;
  std::string pick_answer;
  std::string report_path;
  std::function<void()> on_error;

  std::vector<std::string> browse_prompts, pick_prompts, pick_folders, opened_reports, registrations;
  std::vector<QString> error_titles, error_texts;
  int ended = 0;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder with its trailing separator, as the window shows it.
  std::string text() const;
  std::string Write(const std::string& name, const std::string& bytes = "") const;
  // A copy of a demo folder of samples/, so that a run may create files in it.
  std::string CopySample(const std::string& sample_name) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);

}  // namespace qn::testing
