#pragma once
// A track of `length` bytes for the deep checks: `head`, then zeros (a sparse file). Counts what is
// read; throws once a read reaches `throw_from`. Reads are short (at most 4096 bytes), so a throw
// can come in the middle of a stream.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "audio/content_check.h"
#include "base/step_error.h"

namespace qn::test {

class ZeroTailSource : public ContentSource {
 public:
  ZeroTailSource(std::vector<std::uint8_t> head, std::int64_t length, std::int64_t throw_from = -1)
      : head_(std::move(head)), length_(length), throw_from_(throw_from) {}
  std::int64_t length() const override { return length_; }
  std::size_t read_at(std::int64_t offset, void* out, std::size_t n) override {
    if (throw_from_ >= 0 && offset >= throw_from_) throw StepError(5, "read failed");
    if (offset >= length_) return 0;
    n = static_cast<std::size_t>(std::min<std::int64_t>({static_cast<std::int64_t>(n), 4096, length_ - offset}));
    auto* bytes = static_cast<std::uint8_t*>(out);
    for (std::size_t i = 0; i < n; ++i) {
      const auto at = static_cast<std::uint64_t>(offset) + i;
      bytes[i] = at < head_.size() ? head_[at] : 0;
    }
    bytes_read += n;
    return n;
  }
  std::uint64_t bytes_read = 0;

 private:
  std::vector<std::uint8_t> head_;
  std::int64_t length_;
  std::int64_t throw_from_;
};

}  // namespace qn::test
