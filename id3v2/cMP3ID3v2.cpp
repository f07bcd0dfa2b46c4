#include "id3v2/cMP3ID3v2.h"

#include <optional>

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include "base/step_error.h"
#include "base/text.h"
#include "id3v2/genre_names.h"
#include "id3v2/tag_reading.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

// Ids whose last frame is kept as a typed text field (COMM and TCON have their own rules).
constexpr std::array<std::string_view, 28> kTypedIds{
    "TIT2", "TIT3", "TPE1", "TPE2", "TPE3", "TALB", "TYER", "TRCK", "TLEN", "TSIZ",
    "TMED", "TSSE", "PCNT", "TENC", "TFLT", "WXXX", "TOPE", "TCOM", "TCOP", "WOAR",
    "WOAF", "WCOM", "USLT", "APIC", "MJMD", "MCDI", "GEOB", "POPM"};

constexpr const char* kLoadSource = "MP3IDv2 .cMP3ID3v1";

// A whole number that fits a byte, blanks around it allowed; false for anything else.
bool parse_byte_number(std::string_view s, std::uint8_t& out) {
  std::string digits = text::trim_blanks(s);
  // Leading zeros carry no value: "(0017)" is genre 17.
  const std::size_t first = digits.find_first_not_of('0');
  if (!digits.empty() && first != 0) digits = first == std::string::npos ? "0" : digits.substr(first);
  if (digits.empty() || digits.size() > 3) return false;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 255) return false;
  out = static_cast<std::uint8_t>(value);
  return true;
}

// The field reader reads this many times the cut of a frame: the bytes beyond the cut leave room
// for NULs in front of the text (the Latin-1 encoding byte, stray padding), which a load strips.
constexpr std::size_t kCutWindow = 4;

// What strip_nuls and a cut to `most` bytes make of a frame whose first bytes are `bytes`;
// `whole` when they are all of its content. Without the rest of the frame the NULs at the end of
// the cut cannot be told from those before more text, so they are kept.
std::string cut_text(const std::string& bytes, bool whole, std::size_t most) {
  if (whole) return id3v2::strip_nuls(bytes).substr(0, most);
  const std::size_t first = bytes.find_first_not_of('\0');
  return first == std::string::npos ? std::string() : bytes.substr(first, most);
}

}  // namespace

cMP3ID3v2::cMP3ID3v2() { reset(); }

void cMP3ID3v2::reset() {
  tag_length_ = 0;
  tag_position_ = 0;
  version_ = 0;
  fields_.clear();
  comment_.clear();
  other_genre_name_.clear();
  genre_ = 255;
  frame_list_.clear();
  counts_.clear();
  count_order_.clear();
  next_change_ = 0;
  frame_texts_.clear();
}

void cMP3ID3v2::MP3File(const std::string& path) {
  mp3_file_ = path;
  load(nullptr);
}

void cMP3ID3v2::MP3File(platform::ByteFile& file) {
  mp3_file_ = file.path();
  load(&file);
}

void cMP3ID3v2::load(platform::ByteFile* given) {
  reset();
  try {
    std::optional<platform::ByteFile> opened;
    platform::ByteFile& file = given ? *given : opened.emplace(mp3_file_);
    const std::int64_t position = id3v2::find_tag(file);
    if (position < 1) return;
    tag_position_ = position;
    id3v2::RawTag tag = id3v2::parse_tag(file, position);
    version_ = tag.version;
    tag_length_ = tag.length;
    for (const id3v2::RawFrame& frame : tag.frames) store_frame(frame.id, frame.text);
  } catch (const StepError& e) {
    reset();
    throw StepError(e.number(), std::string(e.what()) + " (" + kLoadSource + ")");
  }
}

std::vector<std::string> read_cut_fields(const std::string& path, const std::vector<std::string>& ids,
                                         std::size_t most) {
  std::vector<std::string> texts(ids.size());
  try {
    platform::ByteFile file(path);
    const std::int64_t position = id3v2::find_tag(file);
    if (position < 1) return texts;
    struct Place {
      std::int64_t offset = 0;
      std::int64_t size = -1;  // no frame of the id
    };
    std::vector<Place> last(ids.size());
    id3v2::walk_frames(file, position, [&](const std::string& id, std::int64_t offset, std::int64_t size) {
      for (std::size_t i = 0; i < ids.size(); ++i)
        if (id == ids[i]) last[i] = {offset, size};
    });
    const std::size_t window =
        most > std::numeric_limits<std::size_t>::max() / kCutWindow ? most : most * kCutWindow;
    std::string bytes;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      if (last[i].size < 0) continue;
      const bool whole = static_cast<std::uint64_t>(last[i].size) <= window;
      bytes.resize(whole ? static_cast<std::size_t>(last[i].size) : window);
      if (!bytes.empty()) file.read_at(last[i].offset, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
      texts[i] = cut_text(bytes, whole, most);
    }
  } catch (const StepError& e) {
    throw StepError(e.number(), std::string(e.what()) + " (" + kLoadSource + ")");
  }
  return texts;
}

void cMP3ID3v2::store_frame(const std::string& id, const std::string& text) {
  // Version 2 frames without a four-character counterpart have no id to be kept under.
  if (id.empty()) return;
  add_instance(id, text);
  set_typed_field(id, text);
}

void cMP3ID3v2::set_typed_field(const std::string& id, const std::string& text) {
  if (id == "COMM") {
    if (comment_.empty()) {
      comment_ = text;
    } else {
      comment_ += std::string("\0\r\n", 3) + text;
    }
  } else if (id == "TCON") {
    set_genre_from_tcon(text);
  } else if (std::find(kTypedIds.begin(), kTypedIds.end(), id) != kTypedIds.end()) {
    fields_[id] = text;
  }
}

void cMP3ID3v2::set_genre_from_tcon(const std::string& text) {
  const std::size_t open = text.find('(');
  const std::size_t close = text.find(')');
  std::uint8_t number = 0;
  if (open == std::string::npos || close == std::string::npos || close < open ||
      !parse_byte_number(std::string_view(text).substr(open + 1, close - open - 1), number)) {
    other_genre_name_ = text;
    return;
  }
  genre_ = number;
  // "(17)" names the genre by number only; "(17)Rock" carries its own name after it.
  if (close + 1 >= text.size()) {
    other_genre_name_ = GenreName(genre_);
  } else {
    other_genre_name_ = text.substr(close + 1);
  }
}

std::string cMP3ID3v2::field(const char* id) const {
  auto it = fields_.find(id);
  return it == fields_.end() ? std::string() : it->second;
}

std::string cMP3ID3v2::GenreName(std::uint8_t genre) const { return id3v2::genre_name(genre); }

}  // namespace qn
