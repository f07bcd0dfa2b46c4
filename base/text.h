#pragma once
// Byte-text helpers shared by every subsystem. Texts are std::string holding bytes as stored on
// disk; letter case folds ASCII letters only, so results never depend on a locale.
#include <string>
#include <string_view>
#include <vector>

namespace qn::text {

char upper_ascii(char c);
char lower_ascii(char c);
std::string to_upper(std::string_view s);
std::string to_lower(std::string_view s);
bool iequals(std::string_view a, std::string_view b);

bool contains(std::string_view haystack, std::string_view needle);
bool starts_with(std::string_view s, std::string_view prefix);
bool ends_with(std::string_view s, std::string_view suffix);

// Splits at every occurrence of sep. Like the classic Split: always at least one piece,
// empty pieces kept ("a--b" split at "-" gives "a", "", "b").
std::vector<std::string> split(std::string_view s, std::string_view sep);
std::string join(const std::vector<std::string>& pieces, std::string_view sep);

std::string replace_all(std::string_view s, std::string_view from, std::string_view to);
// Replaces the first occurrence of `from` found at or after `start` (0-based).
std::string replace_first(std::string_view s, std::string_view from, std::string_view to,
                          std::size_t start = 0);

// Removes leading and trailing blanks (the blank character only).
std::string trim_blanks(std::string_view s);

// Text before the first occurrence of sep (the whole text when sep does not occur).
std::string before_first(std::string_view s, std::string_view sep);

// Last n characters (the whole text when it is shorter).
std::string right(std::string_view s, std::size_t n);
std::string left(std::string_view s, std::size_t n);

// Upper-case hexadecimal without leading zeros, "0" for zero.
std::string hex_text(unsigned long long value);

// The text with every control written as "?": C0 (0x00-0x1F, 0x7F) and C1 (U+0080-U+009F)
// controls, the characters that change the direction of text (U+061C, U+200E/F, U+202A-U+202E,
// U+2066-U+2069), and bytes 0x80-0x9F that belong to no UTF-8 sequence. What a report line, an
// error line or a terminal shows of a name, so that no name can forge a line or a screen.
std::string printable(std::string_view s);
// The same for a text of several lines: its line feeds are kept.
std::string printable_lines(std::string_view s);
// JSON text with the controls that printable() hides written as \u escapes: the same characters
// for a parser, none for a terminal. The controls are only ever inside strings of such a text.
std::string escape_hidden_controls(std::string_view json_text);
// Parses an unsigned hexadecimal number (digits 0-9, A-F in either case). Returns false for an
// empty text, any other character, or a value beyond 64 bits.
bool parse_hex(std::string_view s, unsigned long long& value);

}  // namespace qn::text
