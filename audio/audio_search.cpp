#include "audio/audio_search.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "audio/frame_header.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

// The start search usually confirms the first frame within a few kilobytes of its first offset,
// so its window starts small and doubles, up to a limit, each time the search leaves it.
constexpr std::size_t kFirstWindow = 4 * 1024;
constexpr std::size_t kLargestWindow = 1024 * 1024;
// The end search looks at the headers starting at L - 4 down to L - 80005.
constexpr std::int64_t kEndReach = 80005;
constexpr std::size_t kEndBlock = 4 * 1024;
// A rejected offset ends the start search when fewer than 129 bytes follow its four.
constexpr std::int64_t kLeastTail = 133;

// A block of the file in memory; header tests at successive offsets are served from it and it is
// moved only when an offset leaves it. Bytes the check loaded are looked at where they stand.
class ByteWindow {
 public:
  explicit ByteWindow(platform::ByteFile& file) : file_(file) {}

  // The four bytes at offset (zero past the end of the file).
  const std::uint8_t* four(std::int64_t offset) {
    if (!holds(offset, 4)) fill(offset, 4);
    return data_ + (offset - start_);
  }

  // The first offset in [from, end) whose byte is FF (the first byte of every frame header), or
  // end when there is none. A hole of the file reads as zeros, so it is passed over unread.
  std::int64_t next_sync(std::int64_t from, std::int64_t end) {
    for (std::int64_t o = from; o < end;) {
      if (o >= file_.length()) return end;  // zeros from here on
      if (!holds(o, 1)) {
        if (!use_loaded(o, 1)) {
          const std::int64_t data = file_.next_data(o);
          if (data > o) {
            o = data;
            continue;
          }
          fill(o, 1);
        }
      }
      const std::int64_t stop = start_ + std::min(end - start_, static_cast<std::int64_t>(size_));
      const void* at = std::memchr(data_ + (o - start_), 0xFF, static_cast<std::size_t>(stop - o));
      if (at != nullptr) return start_ + (static_cast<const std::uint8_t*>(at) - data_);
      o = stop;
    }
    return end;
  }

 private:
  // Differences only: an offset near the largest file length must not overflow.
  bool holds(std::int64_t offset, std::int64_t n) const {
    return size_ != 0 && offset >= start_ && offset - start_ <= static_cast<std::int64_t>(size_) - n;
  }

  bool use_loaded(std::int64_t offset, std::size_t n) {
    const std::uint8_t* at = nullptr;
    const std::size_t span = file_.loaded_span(offset, &at);
    if (span < n) return false;
    data_ = at;
    size_ = span;
    start_ = offset;
    return true;
  }

  void fill(std::int64_t offset, std::size_t n) {
    if (use_loaded(offset, n)) return;
    const std::size_t next = owned_size_ == 0 ? kFirstWindow : std::min(owned_size_ * 2, kLargestWindow);
    if (next != owned_size_) owned_.reset(new std::uint8_t[next]);  // filled by the read, no need to clear
    owned_size_ = next;
    file_.read_at(offset, owned_.get(), owned_size_);
    data_ = owned_.get();
    size_ = owned_size_;
    start_ = offset;
  }

  platform::ByteFile& file_;
  std::unique_ptr<std::uint8_t[]> owned_;
  std::size_t owned_size_ = 0;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::int64_t start_ = 0;
};

}  // namespace

std::int64_t AudioSearchStart(platform::ByteFile& file) {
  std::uint8_t head[10];
  file.read_at(0, head, sizeof head);
  if (head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 1;
  // The size bytes are combined as they stand (no 7-bit masking), as the recorded entries were.
  return (static_cast<std::int64_t>(head[6]) << 21) | (static_cast<std::int64_t>(head[7]) << 14) |
         (static_cast<std::int64_t>(head[8]) << 7) | static_cast<std::int64_t>(head[9]);
}

std::int64_t FindStartOfAudio(platform::ByteFile& file) {
  const std::int64_t length = file.length();
  FrameHeaderRecord record;
  ByteWindow window(file);
  // A tag whose size field reads 0 would put the first offset at -1; begin at the file's start.
  std::int64_t o = std::max<std::int64_t>(AudioSearchStart(file) - 1, 0);
  std::int64_t candidate = -1;
  while (true) {
    std::int64_t r = o;
    if (candidate < 0) {
      // Without a candidate every offset whose byte is not FF is rejected and the search moves one
      // byte on, as long as 133 bytes or more remain from it; the first FF is the next to test.
      const std::int64_t end = std::max(o, length - kLeastTail + 1) + 1;
      r = window.next_sync(o, end);
      if (r == end) return -1;
    }
    if (IsValidFrameHeader(window.four(r), record)) {
      if (candidate >= 0) return candidate == 0 ? 1 : candidate;
      candidate = r;
      // A partner past the end reads as zeros wherever it lies: the end itself stands for it.
      o = r + std::min<std::int64_t>(FrameLength(record), length - r);
    } else {
      if (length - r < kLeastTail) return -1;
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

std::int64_t FindEndOfAudio(platform::ByteFile& file) {
  const std::int64_t length = file.length();
  if (length < 4) return -1;
  // Bytes before the first that may hold data are zeros (a hole): no header begins there.
  const std::int64_t lowest = std::max<std::int64_t>(length - kEndReach, 0);
  const std::int64_t first_data = file.next_data(lowest);
  FrameHeaderRecord record;
  // The last header usually stands a few hundred bytes before the end, so the offsets are read a
  // block at a time from the end backwards, each block with the three bytes that follow it.
  std::uint8_t block[kEndBlock + 3];
  for (std::int64_t high = length - 4; high >= first_data;) {
    const std::int64_t low = std::max<std::int64_t>(first_data, high - static_cast<std::int64_t>(kEndBlock) + 1);
    const std::size_t n = static_cast<std::size_t>(high - low + 4);
    const std::uint8_t* bytes = file.loaded(low, n);
    if (bytes == nullptr) {
      file.read_at(low, block, n);
      bytes = block;
    }
    for (std::int64_t o = high; o >= low; --o)
      if (IsValidFrameHeader(bytes + (o - low), record)) return o + 5;
    high = low - 1;
  }
  return -1;
}

}  // namespace qn
