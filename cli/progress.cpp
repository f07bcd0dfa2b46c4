#include "cli/progress.h"

#include <cmath>
#include <cstdio>

#include "platform/terminal.h"

namespace qn::cli {

std::string clock_text(double seconds) {
  long total = seconds > 0 ? static_cast<long>(std::lround(seconds)) : 0;
  long hours = total / 3600, minutes = total / 60 % 60, secs = total % 60;
  char buffer[32];
  if (hours > 0) std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", hours, minutes, secs);
  else std::snprintf(buffer, sizeof buffer, "%ld:%02ld", minutes, secs);
  return buffer;
}

std::string fit_to_columns(const std::string& text, int columns) {
  if (columns <= 0 || text.size() < static_cast<std::size_t>(columns)) return text;
  return text.substr(0, static_cast<std::size_t>(columns - 1));
}

std::string progress_text(int folders_done, int folders_total, long files_checked, double elapsed_seconds) {
  std::string text = "qnverify: " + std::to_string(folders_done) + "/" + std::to_string(folders_total) +
                     " folders, " + std::to_string(files_checked) + " files checked, " +
                     clock_text(elapsed_seconds) + " elapsed";
  if (folders_done > 0 && folders_done < folders_total) {
    double left = elapsed_seconds * (folders_total - folders_done) / folders_done;
    text += ", about " + clock_text(left) + " left";
  }
  return text;
}

}  // namespace qn::cli
