#include <string>
#include <vector>

#include "cli/qnverify_app.h"

int main(int argc, char** argv) {
  return qn::cli::RunQnverify(std::vector<std::string>(argv, argv + argc));
}
