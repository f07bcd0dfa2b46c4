#include <string>
#include <vector>

#include "cli/qnverify_app.h"

int main(int argc, char** argv) {
  return qn::cli::run_qnverify(std::vector<std::string>(argv, argv + argc));
}
