#pragma once
// The per-file audio check: one MP3 or FLAC file against the fingerprint field of its checksum
// entry. Opens the file for reading only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_access.h"
#include "audio/track_fingerprint.h"
#include "platform/read_ahead.h"

namespace qn {

// The two ID3 options, read by the caller at the moment the file is checked.
struct ID3Options {
  bool id3v1 = true;
  bool id3v2 = true;
};

// Lengths the check compared, for telling the reader what a length error means: the measured and
// the listed length of the audio (MP3) or of the file (FLAC); -1 where the check did not get that far.
struct AudioCheckFacts {
  std::int64_t measured_length = -1;
  std::int64_t expected_length = -1;
  // The file the check opened, as it was opened; none when it could not be opened.
  std::optional<platform::FileStamp> stamp;
};

// The audio check result: an MP3 result code digit possibly followed by " ID3v1 ..."/" ID3v2 ..."
// texts, a four-character FLAC flag text, or the empty text for any other file name. The extension
// is compared without regard to letter case.
// Throws StepError for a malformed fingerprint field, an unreadable file, a negative block offset.
std::string CheckAudioFile(const std::string& path, const std::string& fingerprint, ID3Options options,
                           AudioCheckFacts* facts = nullptr);
// The same with the field parsed already (so that the read-ahead plan can share it).
std::string CheckAudioFile(const std::string& path, const TrackFingerprint& fingerprint, ID3Options options,
                           AudioCheckFacts* facts = nullptr);

// The same on a file open already, its kind told by its path()'s extension.
std::string CheckAudioFile(platform::ByteFile& file, const std::string& fingerprint, ID3Options options,
                           AudioCheckFacts* facts = nullptr);
std::string CheckAudioFile(platform::ByteFile& file, const TrackFingerprint& fingerprint, ID3Options options,
                           AudioCheckFacts* facts = nullptr);

// The file kinds the check tells apart by the extension, in any letter case.
enum class TrackKind { kOther, kMp3, kFlac };
TrackKind track_kind(std::string_view path);

// The byte ranges CheckAudioFile loads from a file of `length` bytes before it examines it, as far
// as the fingerprint field tells them beforehand: the head (the ID3v2 region and where the start
// search begins), the tail (the end block, the ID3v1 tag and where the end search begins), for
// FLAC the three sum blocks. In file order, apart. Empty for a field the check refuses or a file of
// another kind. A start or end search that goes further reads more.
std::vector<platform::ByteRange> audio_check_reads(const std::string& path, const TrackFingerprint& fingerprint,
                                         std::int64_t length);
std::vector<platform::ByteRange> audio_check_reads(const std::string& path, const std::string& fingerprint, std::int64_t length);

// The bytes the label check reads of an image of `length` bytes (its first 255), and that check's
// four-digit sum of them.
std::vector<platform::ByteRange> label_image_reads(std::int64_t length);
std::string label_image_sum(platform::ByteFile& image);

}  // namespace qn
