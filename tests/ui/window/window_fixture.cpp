#include "ui/window/window_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "base/paths.h"

namespace fs = std::filesystem;

namespace qn::test {

namespace {

int app_argc = 1;
char app_name[] = "test_window";
char* app_argv[] = {app_name, nullptr};
QApplication* the_app = nullptr;

// The application must go before the program's exit handlers take Qt's own statics down.
class QtEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete the_app;
    the_app = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& app() {
  if (the_app == nullptr) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    the_app = new QApplication(app_argc, app_argv);
  }
  return *the_app;
}

}  // namespace qn::test
