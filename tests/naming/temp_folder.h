#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/paths.h"

namespace qn::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("qn-" + tag + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder as a text ending in the separator.
  std::string text() const { return path_.string() + kSep; }

  void make_file(const std::string& relative, const std::string& content = "x") const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }
  void make_folder(const std::string& relative) const {
    std::filesystem::create_directories(path_ / relative);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace qn::testing
