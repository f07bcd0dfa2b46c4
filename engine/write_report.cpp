#include "engine/verify.h"
#include "platform/output_file.h"

namespace qn {

bool write_report(const std::string& report_path, const std::string& text, RunHost& host) {
  // A new file renamed over the name: a link planted there is replaced, and another name of the
  // file that stood there keeps its bytes.
  const std::optional<platform::OutputError> failed = platform::write_file_atomically(report_path, text);
  if (!failed) return true;
  host.show_error(failed->number, "Writing the report failed: " + failed->reason, report_path);
  return false;
}

}  // namespace qn
