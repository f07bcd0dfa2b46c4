#pragma once
// The verification report: head, date line, body, "Additional Files Found" trailer, CR LF lines.
#include <ctime>
#include <string>

#include "base/file_list.h"

namespace qn {

// "Date & Time: dd Mmm yyyy hh:mm:ss" (a fixed English form, 24-hour clock), no line end.
std::string date_line(const std::tm& when);

// The audio report, put together around `body` (taken, not copied). `extension` is ".mp3", ".flac"
// or empty; `found` gives the file count and the unclaimed files.
std::string audio_report_text(const std::string& folder, const std::string& extension,
                            const FileList& found, std::string body, const std::tm& when);

// The label report around `body`; `images` may be no list at all (nullptr).
std::string label_report_text(const std::string& folder, const FileList* images,
                            std::string body, const std::tm& when);

}  // namespace qn
