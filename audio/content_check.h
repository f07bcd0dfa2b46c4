#pragma once
// The deep check of a track: its whole content against the checks the file carries itself (a FLAC
// stream's frame CRCs and the MD5 of its decoded audio; an MP3 file's frame chain, the encoder's
// music CRC in its Info/Xing frame and the CRC of protected frames). It needs no checksum file and
// tells nothing about the file's tags. Reads the file once, from start to end, in large blocks;
// memory does not grow with the track.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_access.h"

namespace qn {

enum class ContentStatus {
  kOk,           // a check the file carries passed over the whole content
  kFail,         // a check failed, or the content is not what its format says
  kUnchecked,    // the file carries no check; its structure (the frame walk) is sound
  kUnsupported,  // content of a kind the check cannot follow (free-format MP3, another name)
  kUnreadable,   // the file could not be read to its end
};

struct ContentVerdict {
  ContentStatus status = ContentStatus::kUnchecked;
  // What proved it ("MD5 and frame CRCs", "music CRC", "frame CRCs", "music CRC and frame CRCs",
  // "frame walk") or, for a failure, which check failed ("MD5", "frame CRC", "music CRC",
  // "frame walk", "Info frame", "sample count").
  std::string method;
  // Plain words, one line, no trailing period: what failed and where, or what was seen.
  std::string detail;
  std::int64_t offset = -1;  // byte offset in the file where the failure was seen; -1 for none
  std::int64_t frame = -1;   // the frame it was seen in, counted from 1; -1 for none
};

// The bytes of one track, read from start to end. Reads of any size at any offset; fewer bytes
// than asked only at the end. A file source throws StepError when a read fails.
class ContentSource {
 public:
  virtual ~ContentSource() = default;
  virtual std::int64_t length() const = 0;
  virtual std::size_t read_at(std::int64_t offset, void* out, std::size_t n) = 0;
};

// A source over bytes in memory (tests, fuzzing).
class MemoryContentSource : public ContentSource {
 public:
  MemoryContentSource(const void* bytes, std::size_t size) : bytes_(static_cast<const char*>(bytes)), size_(size) {}
  std::int64_t length() const override { return static_cast<std::int64_t>(size_); }
  std::size_t read_at(std::int64_t offset, void* out, std::size_t n) override;

 private:
  const char* bytes_;
  std::size_t size_;
};

// The checks by format. Each returns a verdict for every input, however malformed; only a failed
// read of the source escapes (as the source's StepError).
ContentVerdict check_mp3_content(ContentSource& source);
ContentVerdict check_flac_content(ContentSource& source);

// The file at `path` checked by its name's extension (".mp3", ".flac", letter case aside); another
// name is kUnsupported. Opens the file for reading only; throws StepError when it cannot be opened
// or read (the caller reports it and records the entry's content as unreadable). `stamp`, when
// given, receives the file as it was opened.
ContentVerdict check_track_content(const std::string& path, std::optional<platform::FileStamp>* stamp = nullptr);

}  // namespace qn
