#include "ui/shell/registry_store.h"

#include <charconv>

#include "base/text.h"
#include "platform/user_files.h"

namespace qn::registry_store {

namespace {

// Names and texts are written byte for byte except for the characters that carry meaning in the
// file's lines, which become "%" and two hexadecimal digits.
bool needs_escape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '%' || c == '[' || c == ']' || c == '=' || c == '@' ||
         c == '#';
}

std::string escape(std::string_view s) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    if (needs_escape(c)) {
      out += '%';
      out += kDigits[c >> 4];
      out += kDigits[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

bool unescape(std::string_view s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    unsigned long long byte = 0;
    if (i + 2 >= s.size() || !text::parse_hex(s.substr(i + 1, 2), byte)) return false;
    out += static_cast<char>(byte);
    i += 2;
  }
  return true;
}

std::string binary_text(std::string_view data) {
  std::string out;
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    auto c = static_cast<unsigned char>(data[i]);
    if (i > 0) out += ',';
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

bool parse_binary(std::string_view s, std::string& out) {
  out.clear();
  if (s.empty()) return true;
  for (const std::string& piece : text::split(s, ",")) {
    unsigned long long byte = 0;
    if (piece.size() != 2 || !text::parse_hex(piece, byte)) return false;
    out += static_cast<char>(byte);
  }
  return true;
}

std::string value_line(const StoredValue& v) {
  std::string line = v.name.empty() ? std::string("@") : escape(v.name);
  line += '=';
  switch (v.type) {
    case kTypeBinary:
      return line + "hex:" + binary_text(v.data);
    case kTypeNumber:
      return line + "dword:" + v.data;
    default:
      return line + "sz:" + escape(v.data);
  }
}

bool parse_value_line(std::string_view line, StoredValue& v) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  std::string_view name = line.substr(0, eq);
  std::string_view rest = line.substr(eq + 1);
  if (name == "@") {
    v.name.clear();
  } else if (!unescape(name, v.name)) {
    return false;
  }
  if (text::starts_with(rest, "sz:")) {
    v.type = kTypeString;
    return unescape(rest.substr(3), v.data);
  }
  if (text::starts_with(rest, "hex:")) {
    v.type = kTypeBinary;
    return parse_binary(rest.substr(4), v.data);
  }
  if (text::starts_with(rest, "dword:")) {
    std::string_view digits = rest.substr(6);
    std::int32_t n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size()) return false;
    v.type = kTypeNumber;
    v.data = std::string(digits);
    return true;
  }
  return false;
}

}  // namespace

const StoredKey* Store::find_key(std::string_view path) const {
  for (const StoredKey& k : keys_)
    if (text::iequals(k.path, path)) return &k;
  return nullptr;
}

StoredKey* Store::find_key(std::string_view path) {
  return const_cast<StoredKey*>(static_cast<const Store*>(this)->find_key(path));
}

bool Store::key_exists(std::string_view path) const {
  for (const StoredKey& k : keys_) {
    if (text::iequals(k.path, path)) return true;
    if (k.path.size() > path.size() && k.path[path.size()] == '\\' &&
        text::iequals(std::string_view(k.path).substr(0, path.size()), path))
      return true;
  }
  return false;
}

bool Store::create_key(std::string_view path) {
  if (key_exists(path)) return false;
  keys_.push_back(StoredKey{std::string(path), {}});
  return true;
}

void Store::set_value(std::string_view path, const StoredValue& value) {
  StoredKey* key = find_key(path);
  if (key == nullptr) {
    keys_.push_back(StoredKey{std::string(path), {}});
    key = &keys_.back();
  }
  for (StoredValue& v : key->values) {
    if (text::iequals(v.name, value.name)) {
      v.type = value.type;
      v.data = value.data;
      return;
    }
  }
  key->values.push_back(value);
}

const StoredValue* Store::find_value(std::string_view path, std::string_view name) const {
  const StoredKey* key = find_key(path);
  if (key == nullptr) return nullptr;
  for (const StoredValue& v : key->values)
    if (text::iequals(v.name, name)) return &v;
  return nullptr;
}

std::string Store::serialise() const {
  std::string out = "# Quarnell Verify registry keys and values\n";
  for (const StoredKey& k : keys_) {
    out += "\n[" + escape(k.path) + "]\n";
    for (const StoredValue& v : k.values) out += value_line(v) + "\n";
  }
  return out;
}

Store Store::parse(std::string_view text_in) {
  Store store;
  std::string current;  // path of the section being read; empty before the first
  for (std::string line : text::split(text_in, "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() > 2) {
      current.clear();
      if (!unescape(std::string_view(line).substr(1, line.size() - 2), current)) current.clear();
      if (!current.empty() && store.find_key(current) == nullptr)
        store.keys_.push_back(StoredKey{current, {}});
      continue;
    }
    StoredValue v;
    if (!current.empty() && parse_value_line(line, v)) store.set_value(current, v);
  }
  return store;
}

std::filesystem::path default_location() {
  std::filesystem::path config = platform::xdg_config_home();
  if (config.empty()) return {};
  return config / "quarnell-verify" / "registry";
}

bool load(const std::filesystem::path& file, Store& store) {
  std::string content;
  if (!platform::read_whole_file(file, content)) return false;
  store = Store::parse(content);
  return true;
}

bool save(const std::filesystem::path& file, const Store& store) {
  return platform::replace_file_contents(file, store.serialise());
}

std::string root_name(std::int32_t root) {
  switch (static_cast<std::uint32_t>(root)) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    case 0x80000005u: return "HKEY_CURRENT_CONFIG";
    default: return {};
  }
}

}  // namespace qn::registry_store
