#pragma once
// The values of a checksum line for one track, measured the way the audio check measures them, so
// that a line written from them checks OK against the same file.
#include <string>

namespace qn {

class ByteFile;

// The MP3 fingerprint field: ID3v2 region sum, ID3v1 tag sum, length of audio, start of audio,
// the two four-digit block sums, and with `six_values` the end of audio. Throws StepError when no
// value set can be formed: no start of audio, no end of audio within the end search, or a file too
// short for the end block.
std::string mp3_fingerprint_values(ByteFile& file, bool six_values);

// The FLAC fingerprint field: "0", the length, and the sums of the first, the last and the middle
// 100-byte blocks. Throws StepError for a file shorter than 101 bytes (no last block).
std::string flac_fingerprint_values(ByteFile& file);

}  // namespace qn
