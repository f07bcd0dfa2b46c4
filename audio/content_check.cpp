#include "audio/content_check.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "base/text.h"
#include "platform/file_access.h"

namespace qn {

std::size_t MemoryContentSource::read_at(std::int64_t offset, void* out, std::size_t n) {
  if (offset < 0 || static_cast<std::uint64_t>(offset) >= size_) return 0;
  const std::size_t count = std::min(n, size_ - static_cast<std::size_t>(offset));
  std::memcpy(out, bytes_ + offset, count);
  return count;
}

namespace {

class FileContentSource : public ContentSource {
 public:
  explicit FileContentSource(const std::string& path) : file_(path, opened_, "Opening the track for the deep check") {
    if (opened_) throw platform::step_error(*opened_);
    file_.reading_in_sequence();
  }
  std::int64_t length() const override { return file_.length(); }
  const platform::FileStamp& stamp() const { return file_.stamp(); }
  std::size_t read_at(std::int64_t offset, void* out, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      std::size_t got = 0;
      if (const auto error = file_.read(offset + static_cast<std::int64_t>(done), static_cast<char*>(out) + done, n - done, got))
        throw platform::step_error(*error);
      if (got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  std::optional<platform::Error> opened_;  // before file_, which sets it
  platform::ReadableFile file_;
};

}  // namespace

ContentVerdict check_track_content(const std::string& path, std::optional<platform::FileStamp>* stamp) {
  // The extension decides as for the fingerprint check, letter case aside.
  const std::string lower = text::to_lower(text::right(path, 5));
  const bool mp3 = text::ends_with(lower, ".mp3");
  if (!mp3 && !text::ends_with(lower, ".flac"))
    return {ContentStatus::kUnsupported, "", "not an MP3 or FLAC file name", -1, -1};
  FileContentSource source(path);
  if (stamp) *stamp = source.stamp();
  return mp3 ? check_mp3_content(source) : check_flac_content(source);
}

}  // namespace qn
