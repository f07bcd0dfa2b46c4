#include <string>
#include <vector>

#include "cli/qnverify_app.h"
#include "platform/file_access.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  // Before anything is opened: no file may receive the number of a closed standard stream.
  qn::platform::secure_standard_streams();
  return qn::cli::run_qnverify(qn::platform::command_line_arguments(argc, argv));
}
