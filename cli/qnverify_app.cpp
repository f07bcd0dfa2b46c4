#include "cli/qnverify_app.h"

namespace qn::cli {

int RunQnverify(const std::vector<std::string>&) { return 0; }

}  // namespace qn::cli
