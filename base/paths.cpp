#include "base/paths.h"

#include "base/text.h"

namespace qn {

std::string to_native_separators(std::string_view s) {
  std::string out(s);
  if constexpr (kSep != '\\') {
    for (char& c : out)
      if (c == '\\') c = kSep;
  }
  return out;
}

std::string FolderOfPath(std::string_view path) {
  std::size_t at = path.rfind(kSep);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string FileNameOfPath(std::string_view path) {
  std::size_t at = path.rfind(kSep);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string StripLeadingU(std::string_view s) {
  if (!s.empty() && (s[0] == 'u' || s[0] == 'U')) return text::trim_blanks(s.substr(1));
  return text::trim_blanks(s);
}

}  // namespace qn
