// Putting a tag image into its file: over the old tag when it fits, otherwise through a new file
// written beside the original (same folder, so the rename that replaces it is atomic).
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <utility>

#include "base/step_error.h"
#include "id3v2/tag_reading.h"
#include "id3v2/tag_writing.h"
#include "platform/byte_file.h"
#include "platform/file_handle.h"
#include "platform/file_access.h"
#include "platform/wide_text.h"

namespace qn::id3v2 {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUpdateSource = "MP3IDv2 .cMP3ID3v2";
constexpr std::size_t kCopyBlock = 1 << 20;
constexpr std::int64_t kMaxTagSize = 0x0FFFFFFF;  // 28 bits of a synchsafe size

FaultHook& fault_hook() {
  static FaultHook hook;
  return hook;
}

// Throws like the system call of `step` failing, when the test seam asks for it.
void maybe_fail(std::string_view step, const std::string& what, const std::string& path) {
  if (fault_hook() && fault_hook()(step)) {
    errno = EIO;
    throw_io_error(what, path);
  }
}

using FilePtr = std::unique_ptr<std::FILE, platform::FileCloser>;

int seek64(std::FILE* f, std::int64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, offset, SEEK_SET);
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// The space of the tag the file already has; `found` only for a header a reader would take.
struct OldTag {
  bool found = false;
  std::int64_t offset = 0;  // 0-based offset of its "I"
  std::int64_t size = 0;    // tag size from its header
};

OldTag locate_tag(const std::string& path) {
  platform::ByteFile file(path);
  const std::int64_t position = find_tag(file);
  if (position < 1) return {};
  std::uint8_t h[7] = {};
  file.read_at(position - 1, h, sizeof h);
  OldTag old{true, position - 4, 0};
  for (int i = 3; i < 7; ++i) old.size = (old.size << 7) | (h[i] & 0x7F);
  // A stray "ID3" in other data is no tag: writing over what follows it would destroy that data,
  // so the new tag is put in front instead.
  const bool size_bytes_ok = (h[3] | h[4] | h[5] | h[6]) < 0x80;
  if (h[0] < 2 || h[0] > 4 || !size_bytes_ok || old.offset + 10 + old.size > file.length()) return {};
  return old;
}

void put_size(std::string& image, std::int64_t size) {
  image.replace(0, 10, tag_header(static_cast<std::uint32_t>(size)));
}

void write_in_place(std::FILE* f, std::int64_t offset, const std::string& image, const std::string& path) {
  errno = 0;
  if (seek64(f, offset) != 0 || std::fwrite(image.data(), 1, image.size(), f) != image.size() ||
      std::fflush(f) != 0) {
    throw_io_error("Writing the tag", path);
  }
}

// A new file beside the original, created exclusively under a name no other file has.
class NewFile {
 public:
  explicit NewFile(const std::string& original) {
    const fs::path target = platform::native_path(original);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
      std::string name(1, '.');  // built step by step: GCC 12 warns falsely on "." + string here
      name += target.filename().string();
      name += ".qn-" + std::to_string(random() % 1000000000) + ".tmp";
      path_ = (dir / name).string();
      errno = 0;
      maybe_fail("create", "Creating a new file beside", original);
      file_.reset(platform::open_stream(path_, "wbx"));
      if (!file_ && errno != EEXIST) throw_io_error("Creating a new file beside", original);
    }
    if (!file_) throw_io_error("Creating a new file beside", original);
  }
  ~NewFile() {
    // Still here when the rebuild failed before the rename: the half-written file goes.
    file_.reset();
    if (!path_.empty()) platform::remove_file(path_);
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void write(const void* data, std::size_t n) {
    maybe_fail("write", "Writing the new file", path_);
    errno = 0;
    if (n > 0 && std::fwrite(data, 1, n, file_.get()) != n) throw_io_error("Writing the new file", path_);
  }
  void close() {
    errno = 0;
    if (std::fclose(file_.release()) != 0) throw_io_error("Writing the new file", path_);
  }
  // Gives up the path: the file now stands under the original's name.
  void replace(const std::string& original) {
    std::error_code ec;
    std::error_code status_ec;
    const fs::perms perms = fs::status(platform::native_path(original), status_ec).permissions();
    if (!status_ec) fs::permissions(platform::native_path(path_), perms, ec);
    maybe_fail("rename", "Replacing the file by its rewritten copy", original);
    errno = 0;
    if (!platform::rename_file(path_, original)) throw_io_error("Replacing the file by its rewritten copy", original);
    path_.clear();
  }

 private:
  std::string path_;
  FilePtr file_;
};

void copy_range(platform::ByteFile& source, std::int64_t from, std::int64_t to, NewFile& out) {
  std::string block;
  for (std::int64_t at = from; at < to;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(to - at, kCopyBlock));
    block.resize(n);
    source.read_at(at, reinterpret_cast<std::uint8_t*>(block.data()), n);
    out.write(block.data(), n);
    at += static_cast<std::int64_t>(n);
  }
}

// The original with the old tag's space (none when there was no tag) replaced by `space` bytes:
// the image, then zeros. Stale bytes of the old tag, its "ID3" header among them, would
// otherwise stay in the padding for any reader that searches for a tag to find.
void rebuild(const std::string& path, const OldTag& old, const std::string& image, std::int64_t space) {
  NewFile out(path);
  {
    platform::ByteFile source(path);
    const std::int64_t old_span = old.found ? old.size + 10 : 0;
    copy_range(source, 0, old.offset, out);
    std::string head = image;
    head.resize(static_cast<std::size_t>(space), '\0');
    out.write(head.data(), head.size());
    copy_range(source, old.offset + old_span, source.length(), out);
  }
  out.close();
  out.replace(path);
}

}  // namespace

void set_fault_hook(FaultHook hook) { fault_hook() = std::move(hook); }

void write_tag(const std::string& path, std::string image) {
  errno = 0;
  FilePtr file(platform::open_stream(path, "r+b"));
  if (!file) {
    try {
      throw_io_error("Opening the file for writing", path);
    } catch (const StepError& e) {
      throw StepError(e.number(), std::string(e.what()) + " (" + kUpdateSource + ")");
    }
  }
  const OldTag old = locate_tag(path);
  const std::int64_t length = static_cast<std::int64_t>(image.size());
  if (old.found && length < old.size) {
    put_size(image, old.size);
    write_in_place(file.get(), old.offset, image, path);
    errno = 0;
    if (std::fclose(file.release()) != 0) throw_io_error("Writing the tag", path);
    return;
  }
  const std::int64_t room = tag_room(length);
  if (room > kMaxTagSize) {
    throw StepError(kErrInvalidArgument, "The tag of " + std::to_string(length) +
                                             " bytes is too large for an ID3v2 tag: " + path);
  }
  put_size(image, room);
  file.reset();  // the original is replaced below; an open handle would block that on Windows
  rebuild(path, old, image, room + 10);
}

}  // namespace qn::id3v2
