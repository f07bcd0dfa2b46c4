#pragma once
// Locating the MPEG audio inside an MP3 file: the first frame header confirmed by a second one a
// frame length further on (start of audio), and the last frame header near the end (end of audio).
#include <cstdint>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

// 1-based position at which the start search begins: the ID3v2 size field of a file that begins
// with "ID3" (the 10 header bytes not added), otherwise 1.
std::int64_t AudioSearchStart(platform::ByteFile& file);

// Offset of the first confirmed frame header (1 when it stands at offset 0), or -1 for none.
std::int64_t FindStartOfAudio(platform::ByteFile& file);

// Offset of the last valid frame header within the last 80005 bytes plus 5, or -1 for none.
std::int64_t FindEndOfAudio(platform::ByteFile& file);

}  // namespace qn
