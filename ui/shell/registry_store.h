#pragma once
// Where there is no registry, the keys and values that RegistryClass writes are kept in one text
// file of ours. Key paths start with the root's name ("HKEY_CURRENT_USER\Software\...") and, like
// the registry's, are compared without regard to letter case.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qn::registry_store {

inline constexpr std::uint32_t kTypeString = 1;
inline constexpr std::uint32_t kTypeBinary = 3;
inline constexpr std::uint32_t kTypeNumber = 4;

struct StoredValue {
  std::string name;  // empty for the key's default value
  std::uint32_t type = kTypeString;
  std::string data;  // string and binary bytes; a number as its decimal text
};

struct StoredKey {
  std::string path;
  std::vector<StoredValue> values;
};

class Store {
 public:
  // True when the key, or any key below it, was created.
  bool key_exists(std::string_view path) const;
  // Creates the key (its parents exist implicitly). Returns false when it already existed.
  bool create_key(std::string_view path);
  // Creates the key when needed and replaces any value of the same name.
  void set_value(std::string_view path, const StoredValue& value);
  const StoredValue* find_value(std::string_view path, std::string_view name) const;

  std::string serialise() const;
  // Lines that do not parse are skipped.
  static Store parse(std::string_view text);

  const std::vector<StoredKey>& keys() const { return keys_; }

 private:
  StoredKey* find_key(std::string_view path);
  const StoredKey* find_key(std::string_view path) const;
  std::vector<StoredKey> keys_;
};

// $XDG_CONFIG_HOME (default ~/.config) + "/quarnell-verify/registry"; empty when neither is set.
std::filesystem::path default_location();

// A missing file gives an empty store; a file that exists but cannot be read gives false.
bool load(const std::filesystem::path& file, Store& store);
// Writes a new file beside the old one and renames it over, so a failed write leaves the old one.
bool save(const std::filesystem::path& file, const Store& store);

// The name of a predefined root key value (0x80000001 "HKEY_CURRENT_USER", ...); empty for any
// other value.
std::string root_name(std::int32_t root);

}  // namespace qn::registry_store
