#pragma once
#include <string>
#include <vector>

namespace qn::cli {

// Runs qnverify with the given arguments (argv[0] included); returns the exit status.
int run_qnverify(const std::vector<std::string>& args);

}  // namespace qn::cli
