// What the file-access module's shared part and its file for each system share. Private to the
// module: nothing outside platform/file_access*.cpp includes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_access.h"

namespace qn::platform {

bool is_separator(char c);

// The text after the last separator of either kind.
std::string last_component(const std::string& path);

// The components of a relative name, split at either separator; empty ones (doubled separators)
// are dropped.
std::vector<std::string> components(const std::string& name);

// The records of a file that is not a regular file, and of a name that would leave its folder.
Error not_regular(const std::string& what, const std::string& path);
Error leads_outside(const std::string& path);

// A held folder as the registry keeps it; it closes its folder when the last reference ends.
struct HeldEntry {
  std::string key;  // the folder text, ending in its separator
  std::uint64_t id = 0;
#ifdef _WIN32
  void* handle = nullptr;  // HANDLE
#else
  int fd = -1;
#endif
  HeldEntry() = default;
  HeldEntry(const HeldEntry&) = delete;
  HeldEntry& operator=(const HeldEntry&) = delete;
  ~HeldEntry();
};

// The folder text as the registry keys it: ending in its separator.
std::string held_key(const std::string& folder);
// Adds a held folder to the registry and gives it its id.
void register_held(std::shared_ptr<HeldEntry> entry, std::uint64_t& id);
// The components of `path` below the held folder; false with errno set for a ".." component,
// which would leave it. "." components are dropped.
bool parts_below(const HeldEntry& held, const std::string& path, std::vector<std::string>& parts);

// Writes all of `data`; false with errno set. Each system's own.
bool write_all(int fd, const char* data, std::size_t n);

}  // namespace qn::platform
