// The generic frame view of a loaded tag and the descriptions of its binary frames.
#include <algorithm>

#include "engine/step_error.h"
#include "id3v2/cMP3ID3v2.h"

namespace qn {

namespace {

// A length as "000 000": six digits with leading zeros, a blank before the last three.
std::string six_digits(std::size_t n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
  digits.insert(digits.size() - 3, 1, ' ');
  return digits;
}

std::string describe(const std::string& content, const char* label) {
  return content.size() >= 11 ? label + six_digits(content.size()) : std::string();
}

}  // namespace

std::string cMP3ID3v2::Frame(std::int32_t index) const {
  if (index < 1 || index > FrameCount()) {
    throw StepError(kErrSubscript, "No frame at position " + std::to_string(index) + " of " +
                                       std::to_string(FrameCount()) + ": " + mp3_file_);
  }
  return frame_list_[static_cast<std::size_t>(index - 1)];
}

std::int32_t cMP3ID3v2::TagsInFrame(const std::string& frame) const {
  auto it = std::find_if(counts_.begin(), counts_.end(), [&](const auto& c) { return c.first == frame; });
  return it == counts_.end() ? 0 : it->second;
}

std::int32_t cMP3ID3v2::TagsInFrame(std::int32_t position) const {
  if (position < 1 || static_cast<std::size_t>(position) > counts_.size()) return 0;
  return counts_[static_cast<std::size_t>(position - 1)].second;
}

std::string cMP3ID3v2::TagText(const std::string& frame, std::int32_t instance) const {
  auto it = frame_texts_.find(frame + ":" + std::to_string(instance));
  if (it == frame_texts_.end()) {
    throw StepError(kErrInvalidArgument, "No frame " + frame + ":" + std::to_string(instance) + ": " + mp3_file_);
  }
  return it->second;
}

std::string cMP3ID3v2::Picture() const { return describe(field("APIC"), "Contains Picture :"); }

std::string cMP3ID3v2::MCDI() const { return describe(field("MCDI"), "Contains CDDB Data : "); }

std::string cMP3ID3v2::GEOB() const {
  const std::string content = field("GEOB");
  std::string head = describe(content, "Contains GEOB : ");
  if (head.empty()) return head;
  // The object's text ends at the first run of three NULs; without one the whole content counts.
  const std::size_t end = content.find(std::string(3, '\0'));
  return head + content.substr(0, end);
}

}  // namespace qn
