#pragma once
// A temporary home for the registration tests: HOME and the XDG folders point into a fresh
// temporary folder while a test runs, and are put back afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace qn::test {

class TempHome {
 public:
  TempHome() {
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() /
            ("qn-shell-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(root_ / "home");
    set("HOME", (root_ / "home").string());
    set("XDG_DATA_HOME", (root_ / "data").string());
    set("XDG_CONFIG_HOME", (root_ / "config").string());
  }
  ~TempHome() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  // Sets (or, with nullptr, removes) a variable for the rest of the test.
  void set(const std::string& name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) setenv(name.c_str(), value, 1);
    else unsetenv(name.c_str());
  }
  void set(const std::string& name, const std::string& value) { set(name, value.c_str()); }

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path data() const { return root_ / "data"; }
  std::filesystem::path config() const { return root_ / "config"; }

 private:
  std::filesystem::path root_;
  std::map<std::string, std::optional<std::string>> saved_;
};

inline std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::filesystem::path& file, const std::string& content) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
}

}  // namespace qn::test
