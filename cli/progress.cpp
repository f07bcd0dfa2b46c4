#include "cli/progress.h"

#include "engine/collection_run.h"

namespace qn::cli {

std::string fit_to_columns(const std::string& text, int columns) {
  if (columns <= 0 || text.size() < static_cast<std::size_t>(columns)) return text;
  return text.substr(0, static_cast<std::size_t>(columns - 1));
}

std::string progress_text(int folders_done, int folders_total, long files_checked, double elapsed_seconds) {
  std::string text = "qnverify: " + std::to_string(folders_done) + "/" + std::to_string(folders_total) +
                     " folders, " + std::to_string(files_checked) + " files checked, " +
                     clock_text(elapsed_seconds) + " elapsed";
  const std::string left = time_left_text(folders_done, folders_total, elapsed_seconds);
  if (!left.empty()) text += ", " + left;
  return text;
}

}  // namespace qn::cli
