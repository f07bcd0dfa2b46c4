#pragma once
#include <string>
#include <vector>

namespace qn::cli {

// Runs qnverify with the given arguments (argv[0] included); returns the exit status.
int run_qnverify(const std::vector<std::string>& args);

// Every option name the parser knows ("-q", "--problems", ...) as it is typed: the list that the
// manual page's OPTIONS and the shell completions name too.
std::vector<std::string> qnverify_option_names();

}  // namespace qn::cli
