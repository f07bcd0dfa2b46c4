#include "naming/nfo.h"

#include "base/step_error.h"
#include "base/text.h"
#include "naming/category.h"
#include "naming/track_key.h"
#include "platform/file_access.h"

namespace qn {

std::string FileTypeLabel(const std::string& name, const std::string& extension) {
  std::string label = " mp3 file";
  if (text::to_lower(text::right(name, 3)) == "nfo") label = " Placeholder file";
  if (text::to_lower(text::right(extension, 4)) == "flac") label = " flac file";
  return label;
}

std::string MiddlePart(const std::string& text) {
  std::vector<std::string> parts = text::split(text, " - ");
  return parts.size() == 3 ? parts[1] : std::string();
}

std::string SheetMusicNote(const std::string& line) {
  const std::string key = TrackKey(line);
  if (CollectionCategory(key) == "SheetMusic" && !text::contains(line, ".nfo"))
    return "  (" + MiddlePart(line) + ")";
  return "";
}

bool placeholder_name_is_safe(const std::string& entry_name) { return platform::name_stays_inside(entry_name); }

bool create_placeholder(const std::string& folder, const std::string& entry_name) {
  if (!placeholder_name_is_safe(entry_name))
    throw StepError(kErrRefused, "Creating the file failed: the name leads outside the verified folder " + folder +
                                     ": \"" + entry_name + "\"");
  platform::CreateOutcome outcome = platform::CreateOutcome::kAlreadyThere;
  if (const auto error = platform::create_new_file_beneath(folder, entry_name, entry_name + "\r\n", outcome))
    throw platform::step_error(*error);
  return outcome == platform::CreateOutcome::kCreated;
}

}  // namespace qn
