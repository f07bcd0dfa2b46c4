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

namespace {

// The length of the valid UTF-8 sequence at s[at] (shortest form, no surrogates, at most U+10FFFF)
// and its code point; 0 when the bytes there do not start one.
std::size_t utf8_sequence(std::string_view s, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F, min = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F, min = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07, min = 0x10000;
  else return 0;
  if (at + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// C1 controls and the characters that reorder or hide what a terminal shows.
bool is_hidden_control(char32_t code) {
  return (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string printable(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t at = 0; at < s.size();) {
    const auto byte = static_cast<unsigned char>(s[at]);
    if (byte < 0x80) {
      out += (byte < 0x20 || byte == 0x7F) ? '?' : static_cast<char>(byte);
      ++at;
      continue;
    }
    char32_t code = 0;
    if (const std::size_t length = utf8_sequence(s, at, code)) {
      if (is_hidden_control(code)) out += '?';
      else out.append(s.substr(at, length));
      at += length;
      continue;
    }
    // A byte outside any sequence: 0x80-0x9F would be a C1 control to an 8-bit terminal; a lone
    // byte from 0xA0 up (a Latin-1 letter) is kept, and cannot join what follows into a sequence,
    // since what follows is no continuation byte or is itself shown as "?".
    out += byte <= 0x9F ? '?' : static_cast<char>(byte);
    ++at;
  }
  return out;
}

std::string printable_lines(std::string_view s) {
  std::string out;
  for (std::size_t start = 0;;) {
    const std::size_t end = s.find('\n', start);
    out += printable(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return out;
    out += '\n';
    start = end + 1;
  }
}

std::string escape_hidden_controls(std::string_view json_text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(json_text.size());
  for (std::size_t at = 0; at < json_text.size();) {
    char32_t code = 0;
    const std::size_t length =
        static_cast<unsigned char>(json_text[at]) < 0x80 ? 0 : utf8_sequence(json_text, at, code);
    if (length == 0 || !is_hidden_control(code)) {
      out.append(json_text.substr(at, length ? length : 1));
      at += length ? length : 1;
      continue;
    }
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 0xF];
    at += length;
  }
  return out;
}

}  // namespace qn::text
