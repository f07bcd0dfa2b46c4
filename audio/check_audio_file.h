#pragma once
// The per-file audio check: one MP3 or FLAC file against the fingerprint field of its checksum
// entry. Opens the file for reading only.
#include <cstdint>
#include <string>

namespace qn {

// The two ID3 options, read by the caller at the moment the file is checked.
struct ID3Options {
  bool id3v1 = true;
  bool id3v2 = true;
};

// The audio check result: an MP3 result code digit possibly followed by " ID3v1 ..."/" ID3v2 ..."
// texts, a four-character FLAC flag text, or the empty text for any other file name. The extension
// is compared without regard to letter case.
// Throws StepError for a malformed fingerprint field, an unreadable file, a negative block offset.
std::string CheckAudioFile(const std::string& path, const std::string& fingerprint, ID3Options options);

}  // namespace qn
