#include <array>
#include <cstring>
#include <utility>

#include "id3v2/tag_reading.h"
#include "platform/byte_file.h"

namespace qn::id3v2 {

namespace {

std::uint32_t synchsafe(const std::uint8_t* b) {
  return (static_cast<std::uint32_t>(b[0] & 0x7F) << 21) | (static_cast<std::uint32_t>(b[1] & 0x7F) << 14) |
         (static_cast<std::uint32_t>(b[2] & 0x7F) << 7) | static_cast<std::uint32_t>(b[3] & 0x7F);
}

std::uint32_t big_endian(const std::uint8_t* b, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | b[i];
  return v;
}

struct FrameHeader {
  std::string id;
  std::int64_t size = 0;  // may be negative: a 32-bit size with its top bit set
};

FrameHeader decode_header(std::uint8_t version, const std::uint8_t* b) {
  FrameHeader h;
  if (version == 2) {
    h.id.assign(reinterpret_cast<const char*>(b), 3);
    h.size = big_endian(b + 3, 3);
  } else {
    h.id.assign(reinterpret_cast<const char*>(b), 4);
    h.size = version == 3 ? static_cast<std::int32_t>(big_endian(b + 4, 4)) : synchsafe(b + 4);
  }
  return h;
}

bool all_nul(const std::string& id) { return id.find_first_not_of('\0') == std::string::npos; }

}  // namespace

std::string strip_nuls(const std::string& bytes) {
  const std::size_t first = bytes.find_first_not_of('\0');
  if (first == std::string::npos) return {};
  const std::size_t last = bytes.find_last_not_of('\0');
  return bytes.substr(first, last - first + 1);
}

std::string map_v2_id(const std::string& id) {
  static constexpr std::array<std::array<const char*, 2>, 13> kMap{{
      {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
      {"TAL", "TALB"}, {"COM", "COMM"}, {"TCM", "TCOM"}, {"UFI", "UFID"}, {"TRK", "TRCK"},
      {"TEN", "TENC"}, {"TYE", "TYER"}, {"TCO", "TCON"},
  }};
  for (const auto& row : kMap) {
    if (id == row[0]) return row[1];
  }
  return {};
}

RawTag walk_frames(platform::ByteFile& file, std::int64_t position, const FrameVisitor& visit) {
  RawTag tag;
  const std::int64_t file_length = file.length();
  std::int64_t at = position - 1;  // 0-based offset of the version byte
  if (at + 1 > file_length) return tag;
  std::uint8_t head[7] = {};
  file.read_at(at, head, sizeof head);
  tag.version = head[0];
  if (tag.version < 2 || tag.version > 4) return tag;
  // Flags are not interpreted: no extended header, unsynchronisation or footer handling.
  tag.length = static_cast<std::int32_t>(synchsafe(head + 3));
  at += 7;

  const std::int64_t header_size = tag.version == 2 ? 6 : 10;
  std::int64_t consumed = 0;
  while (consumed < tag.length) {
    // A header or data the file does not hold ends the frames: nothing is read past its end.
    if (at + header_size > file_length) break;
    std::uint8_t raw[10] = {};
    file.read_at(at, raw, static_cast<std::size_t>(header_size));
    const FrameHeader h = decode_header(tag.version, raw);
    if (all_nul(h.id)) break;
    if (h.size < 0 || consumed + header_size + h.size > tag.length) break;
    if (at + header_size + h.size > file_length) break;
    visit(tag.version == 2 ? map_v2_id(h.id) : h.id, at + header_size, h.size);
    at += header_size + h.size;
    consumed += header_size + h.size;
  }
  return tag;
}

RawTag parse_tag(platform::ByteFile& file, std::int64_t position) {
  std::vector<RawFrame> frames;
  std::string data;
  RawTag tag = walk_frames(file, position, [&](const std::string& id, std::int64_t offset, std::int64_t size) {
    data.resize(static_cast<std::size_t>(size));
    if (size > 0) file.read_at(offset, reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    frames.push_back({id, strip_nuls(data)});
  });
  tag.frames = std::move(frames);
  return tag;
}

}  // namespace qn::id3v2
