#pragma once
// An audio or image file opened for reading bytes at any position. Small reads are served from
// two blocks held in memory, one for the first half of the file and one for the second, so the
// few fingerprint reads near the start and near the end of a track cost one read each; bytes past
// the end of the file read as zero. The system is told that the file is read at a few places, not
// from start to end, so that it reads no more from the device than is asked for. Never writes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_access.h"
#include "platform/read_ahead.h"

namespace qn::platform {

// Where a ByteFile's bytes come from: a regular file (the file source) or bytes in memory (tests
// and fuzz targets).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual const std::string& path() const = 0;
  virtual std::int64_t length() const = 0;
  virtual const platform::FileStamp& stamp() const = 0;
  // Up to n bytes at offset; fewer only at the end. Throws StepError.
  virtual std::size_t read_at(std::int64_t offset, void* out, std::size_t n) = 0;
  // As platform::ReadableFile's of the same names; never throw.
  virtual std::size_t read_cached(std::int64_t offset, void* out, std::size_t n) = 0;
  virtual bool bring_in(std::int64_t offset, std::int64_t n) = 0;
  virtual std::int64_t next_data(std::int64_t offset) = 0;
};

// Bytes in memory read as the file `name`: all of them held, none of them ever failing.
class MemorySource : public ByteSource {
 public:
  MemorySource(std::string name, std::string bytes);
  const std::string& path() const override { return name_; }
  std::int64_t length() const override { return static_cast<std::int64_t>(bytes_.size()); }
  const platform::FileStamp& stamp() const override { return stamp_; }
  std::size_t read_at(std::int64_t offset, void* out, std::size_t n) override;
  std::size_t read_cached(std::int64_t offset, void* out, std::size_t n) override { return read_at(offset, out, n); }
  bool bring_in(std::int64_t, std::int64_t) override { return true; }
  std::int64_t next_data(std::int64_t offset) override { return offset; }

 private:
  std::string name_;
  std::string bytes_;
  platform::FileStamp stamp_;
};

class ByteFile {
 public:
  // Opens for reading; throws StepError (errno and its text, and the path) when it cannot, and
  // "not a regular file" for a folder, a FIFO or a device.
  explicit ByteFile(const std::string& path);
  // Reads from `source` (never null).
  explicit ByteFile(std::unique_ptr<ByteSource> source);
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  const std::string& path() const { return source_->path(); }
  std::int64_t length() const { return length_; }
  // The file as it was opened.
  const platform::FileStamp& stamp() const { return source_->stamp(); }

  // n bytes from offset on; bytes past the end are zero. A negative offset throws StepError.
  std::vector<std::uint8_t> read_at(std::int64_t offset, std::size_t n);
  // The same into a caller's buffer.
  void read_at(std::int64_t offset, std::uint8_t* out, std::size_t n);

  // Up to n bytes at offset straight from the file, past the blocks; returns how many it held there.
  std::size_t read_through(std::int64_t offset, std::uint8_t* out, std::size_t n) {
    return read_direct(offset, out, n);
  }
  // Up to n bytes at offset that the system holds in memory already, read without waiting for the
  // device; returns how many (none where the system cannot tell). Never throws.
  std::size_t read_cached(std::int64_t offset, std::uint8_t* out, std::size_t n);
  // See ReadableFile::bring_in.
  bool bring_in(std::int64_t offset, std::int64_t n) { return source_->bring_in(offset, n); }
  // The first offset at or after `offset` that may hold data; the bytes before it read as zero
  // (a hole of a sparse file). Never throws.
  std::int64_t next_data(std::int64_t offset) { return source_->next_data(offset); }

  // Reads the ranges (inside the file, in file order, apart) into `storage`, one read each; reads
  // that fall inside them are then served from there. A range that cannot be read is left to the
  // reads that want it, which fail as they would have. `storage` must outlive the use.
  void load(const platform::ByteRange* ranges, std::size_t count, std::vector<std::uint8_t>& storage);
  // Forgets the loaded ranges (before their storage goes); later reads go to the file.
  void unload() { loaded_count_ = 0; }
  // Where the loaded bytes from offset on stand, and how many follow there (0: none loaded).
  std::size_t loaded_span(std::int64_t offset, const std::uint8_t** at) const;
  // The n bytes at offset when they are all loaded, otherwise nullptr.
  const std::uint8_t* loaded(std::int64_t offset, std::size_t n) const {
    const std::uint8_t* at = nullptr;
    return loaded_span(offset, &at) >= n ? at : nullptr;
  }

  // Reads of at most this many bytes go through the block held in memory.
  static constexpr std::size_t kBlockSize = 8 * 1024;

 private:
  // Reads up to n bytes at offset straight from the file; returns how many it got.
  std::size_t read_direct(std::int64_t offset, std::uint8_t* out, std::size_t n);
  struct Block {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::int64_t start = 0;
    std::size_t size = 0;  // bytes of the file the block holds
  };
  void fill_block(Block& block, std::int64_t offset);

  std::unique_ptr<ByteSource> source_;
  std::int64_t length_ = 0;
  Block blocks_[2];  // the head and the tail of the file
  struct Loaded {
    std::int64_t start = 0;
    std::size_t size = 0;
    std::size_t at = 0;  // position in the storage
  };
  static constexpr std::size_t kMostLoaded = 4;
  Loaded loaded_[kMostLoaded];
  std::size_t loaded_count_ = 0;
  const std::uint8_t* storage_ = nullptr;
};

}  // namespace qn::platform
