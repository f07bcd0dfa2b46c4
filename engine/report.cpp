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

// The head goes in front of the body in place: a large body is not copied.
std::string audio_report_text(const std::string& folder, const std::string& extension,
                            const FileList& found, std::string body, const std::tm& when) {
  std::string kind = extension.empty() ? std::string() : extension.substr(1);
  std::string head = "Quarnell " + kind + " Verify " + kRevisionText + kCrLf;
  head += std::string(25, '-') + kCrLf;
  head += "Folder Processed " + text::printable(folder) + kCrLf;
  head += "Number of Files: " + std::to_string(file_count(found)) + kCrLf;
  head += date_line(when);
  head += std::string(kCrLf) + kCrLf;
  body.insert(0, head);
  body += ListAdditionalFiles(found);
  body += kCrLf;
  return body;
}

std::string label_report_text(const std::string& folder, const FileList* images,
                            std::string body, const std::tm& when) {
  std::string head = std::string("Quarnell Label Verify ") + kRevisionText + kCrLf;
  head += std::string(27, '-') + kCrLf;
  head += "Folder Processed " + text::printable(folder) + kCrLf;
  head += date_line(when);
  head += std::string(kCrLf) + kCrLf;
  body.insert(0, head);
  body += std::string(kCrLf) + kCrLf;
  if (images) body += ListAdditionalFiles(*images);
  body += kCrLf;
  return body;
}

}  // namespace qn
