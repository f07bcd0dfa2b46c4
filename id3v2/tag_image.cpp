// The version 3 tag image built from the object's frames.
#include <filesystem>
#include <string>

#include "id3v2/cMP3ID3v2.h"

#include "base/paths.h"
#include "id3v2/tag_writing.h"

namespace qn {

namespace id3v2 {

namespace {

std::string be32(std::uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
}

bool carries_own_encoding(const std::string& id, const std::string& text) {
  if (text.empty() || (id[0] != 'T' && id != "COMM" && id != "USLT")) return false;
  const unsigned char first = static_cast<unsigned char>(text[0]);
  return first >= 1 && first <= 3;
}

}  // namespace

std::string tag_header(std::uint32_t size) {
  std::string h("ID3\x03\x00\x00", 6);
  h += static_cast<char>((size >> 21) & 0x7F);
  h += static_cast<char>((size >> 14) & 0x7F);
  h += static_cast<char>((size >> 7) & 0x7F);
  h += static_cast<char>(size & 0x7F);
  return h;
}

std::string encode_frame(const std::string& id, const std::string& text) {
  std::string content;
  if (carries_own_encoding(id, text)) {
    content = text;
    // A UTF-16 text loses the zero byte of its last character with the trailing NULs.
    const std::size_t units_from = id[0] == 'T' ? 1 : 4;  // COMM and USLT: after the language
    const bool utf16 = content[0] == 1 || content[0] == 2;
    if (utf16 && content.size() > units_from && (content.size() - units_from) % 2 == 1) content += '\0';
  } else {
    content = std::string(1, '\0') + text;
  }
  return id + be32(static_cast<std::uint32_t>(content.size())) + std::string(2, '\0') + content;
}

std::int64_t tag_room(std::int64_t image_length) { return (image_length / 2048 + 1) * 2048; }

}  // namespace id3v2

std::string cMP3ID3v2::tag_image() const {
  std::string image = id3v2::tag_header(0);
  for (const std::string& id : frame_list_) {
    if (id.find("ID3") != std::string::npos) continue;
    const std::int32_t count = TagsInFrame(id);
    for (std::int32_t n = 1; n <= count; ++n) {
      auto it = frame_texts_.find(id + ":" + std::to_string(n));
      if (it != frame_texts_.end()) image += id3v2::encode_frame(id, it->second);
    }
  }
  // A zero id ends the frames for every reader, whatever the tag's space holds behind it.
  image.append(4, '\0');
  return image;
}

void cMP3ID3v2::Update() { id3v2::write_tag(mp3_file_, tag_image()); }

std::string cMP3ID3v2::GetTempDir() const {
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
  // As the system's own call gives it: ending in the separator, ready for a file name.
  std::string text = dir.string();
  if (text.empty() || (text.back() != '/' && text.back() != kSep)) text += kSep;
  return text;
}

}  // namespace qn
