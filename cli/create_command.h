#pragma once
// qnverify --create: checksum lines for a folder of one's own.
#include <string>

namespace qn::cli {

struct CreateRequest {
  std::string path;    // the folder, or a file inside it
  std::string output;  // empty: standard output
  bool five_values = false;
  bool images = false;
  bool force = false;  // --output may replace an existing file
};

// Writes the lines and names on standard error every file that got none; returns the exit status:
// 0, +8 when some file got no line or the output could not be written, 64 when --output names a
// file the run reads, 66 when the folder holds no file the run would look up.
int run_create(const CreateRequest& request);

}  // namespace qn::cli
