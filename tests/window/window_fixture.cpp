#include "window/window_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/paths.h"

namespace fs = std::filesystem;

namespace qn::testing {

namespace {

int app_argc = 1;
char app_name[] = "test_window";
char* app_argv[] = {app_name, nullptr};
QApplication* app = nullptr;

// The application must go before the program's exit handlers take Qt's own statics down.
class QtEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete app;
    app = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& App() {
  if (app == nullptr) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QApplication(app_argc, app_argv);
  }
  return *app;
}

ScratchFolder::ScratchFolder() {
  std::random_device rd;
  path_ = fs::temp_directory_path() / ("qn-window-" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ScratchFolder::text() const { return path_.string() + kSep; }

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  fs::path p = path_ / name;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
  return p.string();
}

std::string ScratchFolder::CopySample(const std::string& sample_name) const {
  fs::path target = path_ / sample_name;
  fs::copy(fs::path(QN_SAMPLES_DIR) / sample_name, target, fs::copy_options::recursive);
  return target.string() + kSep;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace qn::testing
