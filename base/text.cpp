#include "base/text.h"

#include <algorithm>

namespace qn::text {

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string to_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = upper_ascii(c);
  return out;
}

std::string to_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower_ascii(c);
  return out;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  return true;
}

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}
bool starts_with(std::string_view s, std::string_view prefix) { return s.starts_with(prefix); }
bool ends_with(std::string_view s, std::string_view suffix) { return s.ends_with(suffix); }

std::vector<std::string> split(std::string_view s, std::string_view sep) {
  std::vector<std::string> pieces;
  if (sep.empty()) {
    pieces.emplace_back(s);
    return pieces;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t at = s.find(sep, start);
    if (at == std::string_view::npos) {
      pieces.emplace_back(s.substr(start));
      return pieces;
    }
    pieces.emplace_back(s.substr(start, at - start));
    start = at + sep.size();
  }
}

std::string join(const std::vector<std::string>& pieces, std::string_view sep) {
  std::string out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i) out += sep;
    out += pieces[i];
  }
  return out;
}

std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = s.find(from, start);
    if (at == std::string_view::npos) break;
    out.append(s.substr(start, at - start));
    out.append(to);
    start = at + from.size();
  }
  out.append(s.substr(start));
  return out;
}

std::string replace_first(std::string_view s, std::string_view from, std::string_view to,
                          std::size_t start) {
  std::string out(s);
  if (from.empty() || start > s.size()) return out;
  std::size_t at = s.find(from, start);
  if (at != std::string_view::npos) out.replace(at, from.size(), to);
  return out;
}

std::string trim_blanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string before_first(std::string_view s, std::string_view sep) {
  std::size_t at = s.find(sep);
  return std::string(at == std::string_view::npos ? s : s.substr(0, at));
}

std::string right(std::string_view s, std::size_t n) {
  return std::string(n >= s.size() ? s : s.substr(s.size() - n));
}
std::string left(std::string_view s, std::size_t n) { return std::string(s.substr(0, n)); }

std::string hex_text(unsigned long long value) {
  static const char digits[] = "0123456789ABCDEF";
  if (value == 0) return "0";
  std::string out;
  while (value) {
    out.push_back(digits[value & 0xF]);
    value >>= 4;
  }
  std::reverse(out.begin(), out.end());
  return out;
}

bool parse_hex(std::string_view s, unsigned long long& value) {
  if (s.empty()) return false;
  unsigned long long v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return false;
    if (v >> 60) return false;
    v = (v << 4) | static_cast<unsigned>(d);
  }
  value = v;
  return true;
}

std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

}  // namespace qn::text
