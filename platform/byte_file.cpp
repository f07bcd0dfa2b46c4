#include "platform/byte_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/step_error.h"

namespace qn::platform {

namespace {

// The bytes of a regular file, as ReadableFile reads them.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string& path) : file_(path, opened_) {
    if (opened_) throw platform::step_error(*opened_);
  }
  const std::string& path() const override { return file_.path(); }
  std::int64_t length() const override { return file_.length(); }
  const platform::FileStamp& stamp() const override { return file_.stamp(); }
  std::size_t read_at(std::int64_t offset, void* out, std::size_t n) override {
    std::size_t got = 0;
    if (const std::optional<platform::Error> error = file_.read(offset, out, n, got)) throw platform::step_error(*error);
    return got;
  }
  std::size_t read_cached(std::int64_t offset, void* out, std::size_t n) override {
    return file_.read_cached(offset, out, n);
  }
  bool bring_in(std::int64_t offset, std::int64_t n) override { return file_.bring_in(offset, n); }
  std::int64_t next_data(std::int64_t offset) override { return file_.next_data(offset); }

 private:
  std::optional<platform::Error> opened_;  // why the file could not be opened, before file_
  platform::ReadableFile file_;
};

}  // namespace

MemorySource::MemorySource(std::string name, std::string bytes) : name_(std::move(name)), bytes_(std::move(bytes)) {
  stamp_.size = static_cast<std::int64_t>(bytes_.size());
}

std::size_t MemorySource::read_at(std::int64_t offset, void* out, std::size_t n) {
  if (offset < 0 || offset >= length()) return 0;
  const std::size_t got = std::min(n, bytes_.size() - static_cast<std::size_t>(offset));
  std::memcpy(out, bytes_.data() + offset, got);
  return got;
}

ByteFile::ByteFile(const std::string& path) : ByteFile(std::make_unique<FileSource>(path)) {}

ByteFile::ByteFile(std::unique_ptr<ByteSource> source) : source_(std::move(source)), length_(source_->length()) {}

std::size_t ByteFile::read_direct(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  return source_->read_at(offset, out, n);
}

std::size_t ByteFile::read_cached(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  return source_->read_cached(offset, out, n);
}

std::vector<std::uint8_t> ByteFile::read_at(std::int64_t offset, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  read_at(offset, out.data(), n);
  return out;
}

void ByteFile::load(const platform::ByteRange* ranges, std::size_t count, std::vector<std::uint8_t>& storage) {
  loaded_count_ = 0;
  std::size_t total = 0;
  count = std::min(count, kMostLoaded);
  for (std::size_t i = 0; i < count; ++i) total += static_cast<std::size_t>(std::max<std::int64_t>(ranges[i].size, 0));
  if (storage.size() < total) storage.resize(total);
  storage_ = storage.data();
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const platform::ByteRange& r = ranges[i];
    if (r.offset < 0 || r.size <= 0 || r.offset >= length_) continue;
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(r.size, length_ - r.offset));
    std::size_t got = 0;
    try {
      got = read_direct(r.offset, storage.data() + at, want);
    } catch (const StepError&) {
      continue;  // the check's own read of these bytes reports it
    }
    if (got > 0) loaded_[loaded_count_++] = {r.offset, got, at};
    at += want;
  }
}

std::size_t ByteFile::loaded_span(std::int64_t offset, const std::uint8_t** at) const {
  for (std::size_t i = 0; i < loaded_count_; ++i) {
    const Loaded& l = loaded_[i];
    if (offset >= l.start && offset - l.start < static_cast<std::int64_t>(l.size)) {
      const std::size_t skip = static_cast<std::size_t>(offset - l.start);
      *at = storage_ + l.at + skip;
      return l.size - skip;
    }
  }
  return 0;
}

// The block is placed so that it holds the wanted bytes and as much of the file around them as
// fits: a block near the end of the file ends at the file's end.
void ByteFile::fill_block(Block& block, std::int64_t offset) {
  if (!block.bytes) block.bytes.reset(new std::uint8_t[kBlockSize]);
  std::int64_t start = std::min<std::int64_t>(offset, length_ - static_cast<std::int64_t>(kBlockSize));
  start = std::max<std::int64_t>(start, 0);
  std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(length_ - start, kBlockSize));
  block.size = 0;  // a failed read leaves no stale block behind
  block.size = read_direct(start, block.bytes.get(), want);
  block.start = start;
}

void ByteFile::read_at(std::int64_t offset, std::uint8_t* out, std::size_t n) {
  if (offset < 0) {
    throw StepError(kErrInvalidArgument, "Reading " + std::to_string(n) + " bytes at the negative offset " +
                                             std::to_string(offset) + ": " + path());
  }
  if (n == 0) return;
  std::size_t present = 0;
  if (offset < length_) present = static_cast<std::size_t>(std::min<std::int64_t>(length_ - offset, n));
  const std::uint8_t* held = present > 0 ? loaded(offset, present) : nullptr;
  if (held != nullptr) {
    std::memcpy(out, held, present);
  } else if (present > 0 && present <= kBlockSize) {
    Block& block = blocks_[offset < length_ / 2 ? 0 : 1];
    const std::int64_t end = offset + static_cast<std::int64_t>(present);
    if (offset < block.start || end > block.start + static_cast<std::int64_t>(block.size)) fill_block(block, offset);
    std::size_t from_block = static_cast<std::size_t>(
        std::clamp<std::int64_t>(block.start + static_cast<std::int64_t>(block.size) - offset, 0, present));
    std::memcpy(out, block.bytes.get() + (offset - block.start), from_block);
    present = from_block;
  } else if (present > 0) {
    present = read_direct(offset, out, present);
  }
  if (present < n) std::memset(out + present, 0, n - present);
}

}  // namespace qn::platform
