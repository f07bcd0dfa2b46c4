#include <string>
#include <vector>

#include "cli/qnverify_app.h"
#include "platform/file_access.h"

int main(int argc, char** argv) {
  // Before anything is opened: no file may receive the number of a closed standard stream.
  qn::platform::secure_standard_streams();
  return qn::cli::run_qnverify(std::vector<std::string>(argv, argv + argc));
}
