#pragma once
// Helpers shared by the fuzz targets: an input's bytes read as a file from memory, and the split
// of one input into several byte strings.
#include <memory>
#include <string>
#include <string_view>

#include "platform/byte_file.h"

namespace qn::fuzz {

// The bytes read as the file `name` (its extension tells its kind), from memory: no file is
// written per input.
inline platform::ByteFile memory_file(const std::string& name, std::string_view bytes) {
  return platform::ByteFile(std::make_unique<platform::MemorySource>(name, std::string(bytes)));
}

// Takes the bytes up to the next separator (or the rest) off the front of `rest`.
inline std::string take_piece(std::string_view& rest, char separator) {
  const std::size_t at = rest.find(separator);
  std::string piece(rest.substr(0, at));
  rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  return piece;
}

}  // namespace qn::fuzz
