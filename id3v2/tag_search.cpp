#include <algorithm>
#include <string_view>

#include "id3v2/tag_reading.h"
#include "platform/byte_file.h"

namespace qn::id3v2 {

namespace {

constexpr std::int64_t kBlock = 4096;
constexpr std::int64_t kOverlap = 3;  // an "ID3" across a block boundary is still found

bool holds(std::string_view block, std::string_view what, std::size_t& at) {
  at = block.find(what);
  return at != std::string_view::npos;
}

}  // namespace

std::int64_t find_tag(platform::ByteFile& file) {
  const std::int64_t length = file.length();
  std::string block;
  for (std::int64_t s = 1;; s += kBlock - kOverlap) {
    const bool last = s + kBlock >= length;
    // The last block stops one byte short of the end: a tag cannot start there anyway.
    const std::int64_t n = last ? std::max<std::int64_t>(0, length - s) : kBlock;
    block.resize(static_cast<std::size_t>(n));
    if (n > 0) file.read_at(s - 1, reinterpret_cast<std::uint8_t*>(block.data()), block.size());
    std::size_t at = 0;
    if (holds(block, "ID3", at)) return s + static_cast<std::int64_t>(at) + 3;
    if (holds(block, "\xFF\xFB", at)) return 0;
    if (last) return 0;
  }
}

}  // namespace qn::id3v2
