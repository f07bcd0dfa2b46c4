#include "cli/path_list.h"

namespace qn::cli {

bool read_path_list(std::istream& in, char separator, std::vector<std::string>& paths, std::string& error) {
  std::string path;
  auto finish = [&] {
    if (separator == '\n' && !path.empty() && path.back() == '\r') path.pop_back();
    if (!path.empty()) paths.push_back(path);
    path.clear();
  };
  std::streambuf* buffer = in.rdbuf();
  for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
    if (static_cast<char>(c) == separator) {
      finish();
      continue;
    }
    if (c == '\0') {
      // No path holds a NUL: the list was written for -0, and read by lines it would name a
      // folder's files once more for each piece.
      error = "a path read from standard input holds a NUL byte; use -0 for a NUL-separated list";
      return false;
    }
    if (path.size() >= kMaxListedPath) {
      error = "a path read from standard input is longer than " + std::to_string(kMaxListedPath) + " bytes";
      return false;
    }
    path += static_cast<char>(c);
  }
  finish();
  return true;
}

std::string platform_line_ends(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
#ifdef _WIN32
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
#else
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
#endif
    out += text[i];
  }
  return out;
}

}  // namespace qn::cli
