#include "ui/shell/registry.h"

#include <charconv>
#include <limits>

#include "base/text.h"
#include "ui/shell/registry_store.h"

namespace qn {

namespace {

constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);
constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);

}  // namespace

RegistryClass::RegistryClass()
    : root_key_("Software"), hkey_node_(kLocalMachine), reg_sz_(1) {}

std::int32_t RegistryClass::HKEY_LOCAL_MACHINE() const { return kLocalMachine; }

std::int32_t RegistryClass::HKEY_CURRENT_USER() const { return kCurrentUser; }

std::int32_t RegistryClass::RegDWORD() const { return 4; }

bool parse_dword_text(const std::string& text_in, std::int32_t& value) {
  std::string t = text::trim_blanks(text_in);
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h')) {
    unsigned long long hex = 0;
    if (t.size() > 10 || !text::parse_hex(std::string_view(t).substr(2), hex)) return false;
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(hex));
    return true;
  }
  std::string_view digits = t;
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  if (digits.empty() || digits[0] == '+') return false;
  long long n = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || end != digits.data() + digits.size()) return false;
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(n);
  return true;
}

#ifndef _WIN32

namespace {

// The full path of KeyName under the root; empty for an unknown root or a name with an empty
// piece ("a\\b", "\a"), which the registry refuses as well.
std::string stored_key_path(std::int32_t root, const std::string& key_name) {
  std::string path = registry_store::root_name(root);
  if (path.empty() || key_name.empty()) return path;
  for (const std::string& piece : text::split(key_name, "\\"))
    if (piece.empty()) return {};
  return path + "\\" + key_name;
}

bool store_key_value(std::int32_t root, const std::string& key_name, std::int32_t type,
                     const std::string& value_name, const std::string& data) {
  std::filesystem::path file = registry_store::default_location();
  std::string path = stored_key_path(root, key_name);
  registry_store::Store store;
  if (file.empty() || path.empty() || !registry_store::load(file, store)) return false;

  const bool opened = store.key_exists(path);
  bool changed = store.create_key(path);
  bool status = opened;
  registry_store::StoredValue value{value_name, static_cast<std::uint32_t>(type), data};
  std::int32_t number = 0;
  switch (type) {
    case 1:
    case 3:
      store.set_value(path, value);
      changed = true;
      status = true;
      break;
    case 4:
      status = parse_dword_text(data, number);
      if (status) {
        value.data = std::to_string(number);
        store.set_value(path, value);
        changed = true;
      }
      break;
    default:
      break;
  }
  // As with the registry, a created key stays even when the value could not be written.
  if (changed && !registry_store::save(file, store)) return false;
  return status;
}

}  // namespace

bool RegistryClass::SetKeyValue(std::int32_t KeyRoot, const std::string& KeyName,
                                std::int32_t lType, const std::string& SubKeyRef,
                                std::string& KeyVal) {
  bool ok = false;
  try {
    ok = store_key_value(KeyRoot, KeyName, lType, SubKeyRef, KeyVal);
  } catch (...) {
    ok = false;
  }
  if (!ok) KeyVal.clear();
  return ok;
}

#endif  // !_WIN32

}  // namespace qn
