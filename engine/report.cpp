#include "engine/report.h"

#include <cstdio>

#include "base/text.h"
#include "engine/verify.h"

namespace qn {

namespace {
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kCrLf = "\r\n";
}  // namespace

std::string date_line(const std::tm& when) {
  char buf[64];
  int month = (when.tm_mon >= 0 && when.tm_mon < 12) ? when.tm_mon : 0;
  std::snprintf(buf, sizeof buf, "Date & Time: %02d %s %04d %02d:%02d:%02d", when.tm_mday,
                kMonths[month], when.tm_year + 1900, when.tm_hour, when.tm_min, when.tm_sec);
  return buf;
}

std::string audio_report_text(const std::string& folder, const std::string& extension,
                            const FileList& found, const std::string& body, const std::tm& when) {
  std::string kind = extension.empty() ? std::string() : extension.substr(1);
  std::string text = "Quarnell " + kind + " Verify " + kRevisionText + kCrLf;
  text += std::string(25, '-') + kCrLf;
  text += "Folder Processed " + text::printable(folder) + kCrLf;
  text += "Number of Files: " + std::to_string(file_count(found)) + kCrLf;
  text += date_line(when);
  text += std::string(kCrLf) + kCrLf;
  text += body;
  text += ListAdditionalFiles(found);
  text += kCrLf;
  return text;
}

std::string label_report_text(const std::string& folder, const FileList* images,
                            const std::string& body, const std::tm& when) {
  std::string text = std::string("Quarnell Label Verify ") + kRevisionText + kCrLf;
  text += std::string(27, '-') + kCrLf;
  text += "Folder Processed " + text::printable(folder) + kCrLf;
  text += date_line(when);
  text += std::string(kCrLf) + kCrLf + body + kCrLf + kCrLf;
  if (images) text += ListAdditionalFiles(*images);
  text += kCrLf;
  return text;
}

}  // namespace qn
