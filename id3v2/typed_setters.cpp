// Set forms of the typed properties: each replaces every frame of its id by one new frame.
#include <string>

#include "base/step_error.h"
#include "id3v2/cMP3ID3v2.h"

namespace qn {

void cMP3ID3v2::replace_frames(const char* id, const std::string& frame_text) {
  try {
    RemoveFrame(std::string(id));
  } catch (const StepError&) {
    // An id the tag does not hold yet has nothing to remove.
  }
  AddTag(id, frame_text);
}

void cMP3ID3v2::set_plain(const char* id, const std::string& value) {
  fields_[id] = value;
  replace_frames(id, value);
}

// Frames whose content starts with a field of its own before the value get a NUL in front.
void cMP3ID3v2::set_after_nul(const char* id, const std::string& value) {
  fields_[id] = value;
  replace_frames(id, std::string(1, '\0') + value);
}

void cMP3ID3v2::Comment(const std::string& v) {
  comment_ = v;
  // Language, an empty description, then the text; an empty text still ends in two NULs.
  replace_frames("COMM", std::string("eng\0", 4) + (v.empty() ? std::string(2, '\0') : v));
}

void cMP3ID3v2::Genre(std::uint8_t v) {
  genre_ = v;
  replace_frames("TCON", other_genre_name_);
}

void cMP3ID3v2::OtherGenreName(const std::string& v) {
  other_genre_name_ = v;
  replace_frames("TCON", v);
}

}  // namespace qn
