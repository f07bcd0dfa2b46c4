#include "platform/file_access.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/file_access_shared.h"

namespace qn::platform {

bool is_separator(char c) { return c == '/' || c == '\\'; }

std::string last_component(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::vector<std::string> components(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (is_separator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

Error not_regular(const std::string& what, const std::string& path) {
  return {kErrFileAccess, what, "not a regular file", path};
}

Error leads_outside(const std::string& path) {
  return {kErrRefused, "Creating the file", "the name leads outside the folder", path};
}

bool name_stays_inside(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (is_separator(name[0])) return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // "C:", "C:\x", "C:x"
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool names_windows_device(const std::string& name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const std::string& part : components(name)) {
    if (part.find(':') != std::string::npos) return true;
    // Windows drops trailing dots and blanks, and a device name keeps its meaning with any
    // extension: "nul.nfo", "Com1 .txt", "AUX..".
    std::string stem = part.substr(0, part.find('.'));
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : kDevices)
      if (stem == device) return true;
    if (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0) continue;
    // COM0-COM9 and LPT0-LPT9, and with the superscript digits 1, 2 and 3, which Windows reads as
    // the same devices.
    const std::string number = stem.substr(std::min<std::size_t>(3, stem.size()));
    if ((number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
        number == "\xC2\xB2" || number == "\xC2\xB3")
      return true;
  }
  return false;
}

namespace {

std::mutex g_held_mutex;
std::vector<std::shared_ptr<const HeldEntry>> g_held;  // in the order they were made
std::uint64_t g_last_held_id = 0;
// Pinned folders with the thread that pinned each (not thread_local: a thread's own destructors
// are not run reliably by every threads library at thread exit).
std::vector<std::pair<std::thread::id, HeldRef>> g_pinned;

bool lies_in(const std::string& path, const std::string& key) {
  if (path.compare(0, key.size(), key) == 0) return true;
  return path.size() + 1 == key.size() && key.compare(0, path.size(), path) == 0;  // the folder without its separator
}

}  // namespace

std::string held_key(const std::string& folder) {
  return is_separator(folder.back()) ? folder : folder + kSep;
}

void register_held(std::shared_ptr<HeldEntry> entry, std::uint64_t& id) {
  std::lock_guard<std::mutex> lock(g_held_mutex);
  entry->id = id = ++g_last_held_id;
  g_held.push_back(std::move(entry));
}

// The components of `path` below the held folder; false with errno set for a ".." component,
// which would leave it. "." components are dropped.
bool parts_below(const HeldEntry& held, const std::string& path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.size() <= held.key.size()) return true;
  for (std::string& part : components(path.substr(held.key.size()))) {
    if (part == "..") {
      errno = EPERM;
      return false;
    }
    if (part != ".") parts.push_back(std::move(part));
  }
  return true;
}

HeldRef held_folder_of(const std::string& path) {
  HeldRef best;
  // The longest text wins; of equal ones the one made last.
  auto consider = [&](const HeldRef& entry) {
    if (lies_in(path, entry->key) && (!best || entry->key.size() >= best->key.size())) best = entry;
  };
  const std::thread::id self = std::this_thread::get_id();
  std::lock_guard<std::mutex> lock(g_held_mutex);
  for (const auto& [thread, entry] : g_pinned)
    if (thread == self) consider(entry);
  for (const HeldRef& entry : g_held) consider(entry);
  return best;
}

HeldFolder::~HeldFolder() {
  if (id_ == 0) return;
  std::shared_ptr<const HeldEntry> ended;  // closed outside the lock
  std::lock_guard<std::mutex> lock(g_held_mutex);
  for (auto it = g_held.begin(); it != g_held.end(); ++it) {
    if ((*it)->id == id_) {
      ended = std::move(*it);
      g_held.erase(it);
      break;
    }
  }
}

PinHeld::PinHeld(HeldRef folder) : pinned_(folder != nullptr) {
  if (!pinned_) return;
  std::lock_guard<std::mutex> lock(g_held_mutex);
  g_pinned.emplace_back(std::this_thread::get_id(), std::move(folder));
}

PinHeld::~PinHeld() {
  if (!pinned_) return;
  HeldRef ended;  // closed outside the lock
  std::lock_guard<std::mutex> lock(g_held_mutex);
  const std::thread::id self = std::this_thread::get_id();
  for (auto it = g_pinned.end(); it != g_pinned.begin();) {
    if ((--it)->first == self) {
      ended = std::move(it->second);
      g_pinned.erase(it);
      break;
    }
  }
}

ReadableFile::ReadableFile(const std::string& path, std::optional<Error>& error, const char* what) : path_(path) {
  error = open(what);
}

std::optional<Error> read_regular_file(const std::string& path, std::uint64_t max_size, std::string& bytes) {
  bytes.clear();
  std::optional<Error> error;
  ReadableFile file(path, error);
  if (error) return error;
  const auto length = static_cast<std::uint64_t>(file.length());
  if (length > max_size) {
    Error big{EFBIG, "Reading the file",
              "it holds " + std::to_string(length) + " bytes, more than the " + std::to_string(max_size) + " allowed",
              path};
    big.size = length;
    return big;
  }
  // One copy, sized once; a file that grows while it is read is cut at the limit.
  bytes.resize(static_cast<std::size_t>(length));
  std::size_t got = 0;
  if (!bytes.empty()) error = file.read(0, bytes.data(), bytes.size(), got);
  bytes.resize(got);
  return error;
}

std::string temporary_name(const std::string& name) {
  static std::random_device device;
  static std::mt19937_64 numbers(device());
  std::size_t cut = std::min<std::size_t>(name.size(), 64);
  while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(numbers()));
  return "." + name.substr(0, cut) + "." + digits;
}

bool ScratchFile::append(std::string_view bytes) {
  if (failed_) return false;
  if (!write_all(file_, bytes.data(), bytes.size())) {
    failed_ = true;
    return false;
  }
  size_ += bytes.size();
  return true;
}

// The same on every system: write_all is each system's own.
bool write_standard_output(const std::string& bytes) {
  std::fflush(stdout);
  return write_all(1, bytes.data(), bytes.size());
}

bool write_standard_error(const std::string& bytes) {
  std::fflush(stderr);
  return write_all(2, bytes.data(), bytes.size());
}

}  // namespace qn::platform
