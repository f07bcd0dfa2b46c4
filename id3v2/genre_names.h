#pragma once
// Display names of the ID3v1 genre numbers, in this component's own spellings.
#include <cstdint>
#include <string>

namespace qn::id3v2 {

// The name of genre number `genre`; empty for 123 and for 148 to 255.
std::string genre_name(std::uint8_t genre);

}  // namespace qn::id3v2
