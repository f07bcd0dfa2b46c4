#include "naming/nfo.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "base/step_error.h"
#include "base/text.h"
#include "naming/category.h"
#include "naming/track_key.h"
#include "platform/file_handle.h"

namespace qn {

std::string FileTypeLabel(const std::string& name, const std::string& extension) {
  std::string label = " mp3 file";
  if (text::to_lower(text::right(name, 3)) == "nfo") label = " Placeholder file";
  if (text::to_lower(text::right(extension, 4)) == "flac") label = " flac file";
  return label;
}

std::string MiddlePart(const std::string& text) {
  std::vector<std::string> parts = text::split(text, " - ");
  return parts.size() == 3 ? parts[1] : std::string();
}

std::string SheetMusicNote(const std::string& line) {
  const std::string key = TrackKey(line);
  if (CollectionCategory(key) == "SheetMusic" && !text::contains(line, ".nfo"))
    return "  (" + MiddlePart(line) + ")";
  return "";
}

bool placeholder_name_is_safe(const std::string& entry_name) {
  if (entry_name.empty()) return false;
  // A NUL would cut the name short and create some other file.
  if (entry_name.find('\0') != std::string::npos) return false;
  // Checksum files come from Windows, so both separators count wherever we run.
  const char first = entry_name[0];
  if (first == '/' || first == '\\') return false;
  if (entry_name.size() >= 2 && entry_name[1] == ':') return false;  // "C:", "C:\x", "C:x"
  std::size_t start = 0;
  while (start <= entry_name.size()) {
    std::size_t end = entry_name.find_first_of("/\\", start);
    if (end == std::string::npos) end = entry_name.size();
    if (entry_name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

namespace {

// A safe name can still lead out of the folder through a symbolic link inside it: a linked
// sub-folder, or a link standing where the file would be (opening it would empty its target).
// The folder the file lands in, with links resolved, must be the verified folder or lie below it.
bool leaves_through_links(const std::string& folder, const std::string& entry_name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::path(folder + entry_name).lexically_normal();
  if (fs::is_symlink(fs::symlink_status(target, ec))) return true;
  const fs::path base = fs::canonical(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return false;  // no such folder: the open below fails and says so
  const fs::path parent = fs::weakly_canonical(target.parent_path().empty() ? fs::path(".") : target.parent_path(), ec);
  if (ec) return false;
  const fs::path relative = parent.lexically_relative(base);
  return relative.empty() || *relative.begin() == "..";
}

}  // namespace

void create_placeholder(const std::string& folder, const std::string& entry_name) {
  if (!placeholder_name_is_safe(entry_name) || leaves_through_links(folder, entry_name))
    throw StepError(kErrRefused, "refused to create placeholder outside the verified folder " +
                                     folder + ": \"" + entry_name + "\"");
  const std::string path = folder + entry_name;
  const std::string content = entry_name + "\r\n";
  errno = 0;
  FileHandle file(path, "wb");
  if (!file) throw_io_error("create placeholder", path);
  errno = 0;
  const bool written = std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
  const int write_errno = errno;
  const bool closed = file.close();
  if (!written) {
    errno = write_errno;
    throw_io_error("write placeholder", path);
  }
  if (!closed) throw_io_error("close placeholder", path);
}

}  // namespace qn
