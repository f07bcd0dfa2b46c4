// The generic frame view of a loaded tag and the descriptions of its binary frames.
#include <algorithm>
#include <iterator>

#include "base/step_error.h"
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

constexpr const char* kViewSource = "MP3IDv2 .cMP3ID3v2";

[[noreturn]] void throw_missing(const std::string& what, const std::string& path) {
  throw StepError(kErrSubscript, what + ": " + path + " (" + kViewSource + ")");
}

std::string key(const std::string& id, std::int32_t n) { return id + ":" + std::to_string(n); }

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
  auto it = counts_.find(frame);
  return it == counts_.end() ? 0 : it->second.count;
}

std::int32_t cMP3ID3v2::TagsInFrame(std::int32_t position) const {
  if (position < 1 || static_cast<std::size_t>(position) > count_order_.size()) return 0;
  auto it = count_order_.begin();
  std::advance(it, position - 1);
  return counts_.at(it->second).count;
}

std::string cMP3ID3v2::TagText(const std::string& frame, std::int32_t instance) const {
  auto it = frame_texts_.find(frame + ":" + std::to_string(instance));
  if (it == frame_texts_.end()) {
    throw StepError(kErrInvalidArgument, "No frame " + key(frame, instance) + ": " + mp3_file_);
  }
  return it->second;
}

std::int32_t cMP3ID3v2::add_instance(const std::string& id, const std::string& text) {
  const std::int32_t n = TagsInFrame(id) + 1;
  if (n == 1) frame_list_.push_back(id);
  set_count(id, n);
  frame_texts_[key(id, n)] = text;
  return n;
}

// The entry of a changed count moves to the end of the instance counts.
void cMP3ID3v2::set_count(const std::string& id, std::int32_t n) {
  auto [entry, added] = counts_.try_emplace(id);
  if (!added) count_order_.erase(entry->second.changed);
  entry->second = {n, next_change_};
  count_order_.emplace(next_change_++, id);
}

void cMP3ID3v2::remove_frame_entry(const std::string& id) {
  frame_list_.erase(std::remove(frame_list_.begin(), frame_list_.end(), id), frame_list_.end());
  if (auto entry = counts_.find(id); entry != counts_.end()) {
    count_order_.erase(entry->second.changed);
    counts_.erase(entry);
  }
}

void cMP3ID3v2::AddTag(const std::string& sFrame, const std::string& sTag) {
  if (sFrame.size() != 4 || sFrame.find_first_not_of('\0') == std::string::npos) {
    throw StepError(kErrInvalidArgument, "A frame id must have four characters, not all NUL: \"" + sFrame +
                                             "\": " + mp3_file_);
  }
  add_instance(sFrame, sTag);
}

void cMP3ID3v2::RemoveFrame(const std::string& frame) {
  if (std::find(frame_list_.begin(), frame_list_.end(), frame) == frame_list_.end()) {
    throw_missing("No frame " + frame, mp3_file_);
  }
  remove_frame_entry(frame);
  for (std::int32_t n = 1; frame_texts_.erase(key(frame, n)) == 1; ++n) {
  }
}

void cMP3ID3v2::RemoveFrame(std::int32_t position) {
  if (position < 1 || position > FrameCount()) {
    throw_missing("No frame at position " + std::to_string(position), mp3_file_);
  }
  RemoveFrame(std::string(frame_list_[static_cast<std::size_t>(position - 1)]));
}

void cMP3ID3v2::RemoveTag(const std::string& sFrame, std::int32_t tagIndex) {
  if (frame_texts_.erase(key(sFrame, tagIndex)) == 0) {
    throw_missing("No frame " + key(sFrame, tagIndex), mp3_file_);
  }
  const std::int32_t n = TagsInFrame(sFrame) - 1;
  if (n <= 0) {
    remove_frame_entry(sFrame);
    return;
  }
  set_count(sFrame, n);
  for (std::int32_t i = tagIndex + 1; i <= n + 1; ++i) {
    auto node = frame_texts_.extract(key(sFrame, i));
    if (node.empty()) continue;
    node.key() = key(sFrame, i - 1);
    frame_texts_.insert(std::move(node));
  }
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
