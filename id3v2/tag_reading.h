#pragma once
// The two steps of loading a tag: finding "ID3" in the file, then reading the frames after it.
// Neither reads past the end of the file, whatever sizes the tag claims.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

namespace id3v2 {

// 1-based position of the byte that follows the first "ID3" of the file, searched in
// overlapping 4096-byte blocks up to the first block holding the audio marker FF FB; 0 when
// there is no tag.
std::int64_t find_tag(platform::ByteFile& file);

struct RawFrame {
  std::string id;    // four characters (version 2 ids already mapped; empty when unmapped)
  std::string text;  // content bytes without leading and trailing NULs
};

struct RawTag {
  std::uint8_t version = 0;
  std::int32_t length = 0;  // tag size from the header, bytes after the 10-byte header
  std::vector<RawFrame> frames;
};

// Reads the tag whose version byte stands at the 1-based position `position`.
RawTag parse_tag(platform::ByteFile& file, std::int64_t position);

// Called for each frame with its id (as in RawFrame), the 0-based offset of its content and the
// content's size, which the tag and the file both hold.
using FrameVisitor = std::function<void(const std::string& id, std::int64_t offset, std::int64_t size)>;
// The frame walk of parse_tag: reads the tag header and the frame headers only, passing over each
// frame's content by its size. The result has no frames.
RawTag walk_frames(platform::ByteFile& file, std::int64_t position, const FrameVisitor& visit);

// The four-character id a version 2 id is stored under; empty for ids without one.
std::string map_v2_id(const std::string& id);

// Content bytes with leading and trailing NULs removed.
std::string strip_nuls(const std::string& bytes);

}  // namespace id3v2
}  // namespace qn
