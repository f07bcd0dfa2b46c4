#include "audio/audio_search.h"

#include <algorithm>
#include <memory>

#include "audio/frame_header.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

// The start search usually confirms the first frame within a few kilobytes of its first offset,
// so its window starts small and doubles, up to a limit, each time the search leaves it.
constexpr std::size_t kFirstWindow = 4 * 1024;
constexpr std::size_t kLargestWindow = 64 * 1024;
// The end search looks at the headers starting at L - 4 down to L - 80005.
constexpr std::int64_t kEndReach = 80005;
constexpr std::size_t kEndBlock = 4 * 1024;

// A block of the file held in memory; header tests at successive offsets are served from it and
// it is refilled only when an offset leaves it.
class ByteWindow {
 public:
  explicit ByteWindow(ByteFile& file) : file_(file) {}

  // The four bytes at offset (zero past the end of the file).
  const std::uint8_t* four(std::int64_t offset) {
    if (size_ == 0 || offset < start_ || offset + 4 > start_ + static_cast<std::int64_t>(size_)) {
      std::size_t next = size_ == 0 ? kFirstWindow : std::min(size_ * 2, kLargestWindow);
      if (next != size_) buffer_.reset(new std::uint8_t[next]);  // filled by the read, no need to clear
      size_ = next;
      file_.read_at(offset, buffer_.get(), size_);
      start_ = offset;
    }
    return buffer_.get() + (offset - start_);
  }

 private:
  ByteFile& file_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t size_ = 0;
  std::int64_t start_ = 0;
};

}  // namespace

std::int64_t AudioSearchStart(ByteFile& file) {
  std::uint8_t head[10];
  file.read_at(0, head, sizeof head);
  if (head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 1;
  // The size bytes are combined as they stand (no 7-bit masking), as the recorded entries were.
  return (static_cast<std::int64_t>(head[6]) << 21) | (static_cast<std::int64_t>(head[7]) << 14) |
         (static_cast<std::int64_t>(head[8]) << 7) | static_cast<std::int64_t>(head[9]);
}

std::int64_t FindStartOfAudio(ByteFile& file) {
  const std::int64_t length = file.length();
  FrameHeaderRecord record;
  ByteWindow window(file);
  // A tag whose size field reads 0 would put the first offset at -1; begin at the file's start.
  std::int64_t o = std::max<std::int64_t>(AudioSearchStart(file) - 1, 0);
  std::int64_t candidate = -1;
  while (true) {
    const std::int64_t r = o;
    if (IsValidFrameHeader(window.four(r), record)) {
      if (candidate >= 0) return candidate == 0 ? 1 : candidate;
      candidate = r;
      o = r + FrameLength(record);
    } else {
      if (length - r < 133) return -1;
      if (candidate >= 0) {
        o = candidate + 1;
        candidate = -1;
      } else {
        o = r + 1;
      }
    }
    if (!(r + 5 < length)) return -1;
  }
}

std::int64_t FindEndOfAudio(ByteFile& file) {
  const std::int64_t length = file.length();
  if (length < 4) return -1;
  const std::int64_t lowest = std::max<std::int64_t>(length - kEndReach, 0);
  FrameHeaderRecord record;
  // The last header usually stands a few hundred bytes before the end, so the offsets are read a
  // block at a time from the end backwards, each block with the three bytes that follow it.
  std::uint8_t block[kEndBlock + 3];
  for (std::int64_t high = length - 4; high >= lowest;) {
    const std::int64_t low = std::max<std::int64_t>(lowest, high - static_cast<std::int64_t>(kEndBlock) + 1);
    file.read_at(low, block, static_cast<std::size_t>(high - low + 4));
    for (std::int64_t o = high; o >= low; --o)
      if (IsValidFrameHeader(block + (o - low), record)) return o + 5;
    high = low - 1;
  }
  return -1;
}

}  // namespace qn
