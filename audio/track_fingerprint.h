#pragma once
// The fingerprint field of a checksum line for one track, and the values of a line measured the
// way the audio check measures them, so that a line written from them checks OK against the same
// file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

// The fingerprint field split at "Z" once. The texts stay as stored (the check compares several
// of them as texts); values 1, 2, 3 and 5 are also read as hexadecimal numbers. A field the MP3
// check cannot use keeps its first fault, thrown by throw_if_unusable with the text the check
// gives, so that faults surface where they always did: after the file was opened.
class TrackFingerprint {
 public:
  TrackFingerprint() : TrackFingerprint(std::string()) {}
  explicit TrackFingerprint(std::string field);

  // The MP3 field: ID3v2 region sum, ID3v1 tag sum (as text), length of audio, start of audio,
  // the two four-digit block sums, with end_of_audio >= 0 the end of audio as a sixth value.
  static TrackFingerprint mp3(std::uint64_t id3v2_sum, std::string_view id3v1_sum, std::int64_t audio_length,
                              std::int64_t start_of_audio, std::uint32_t start_block_sum,
                              std::uint32_t end_block_sum, std::int64_t end_of_audio);
  // The FLAC field: "0", the length and the sums of the first, the last and the middle blocks.
  static TrackFingerprint flac(std::int64_t length, std::string_view first_sum, std::string_view last_sum,
                               std::string_view middle_sum);

  // The field as a checksum line stores it.
  const std::string& text() const { return text_; }
  // How many parts "Z" separates (1 for an empty field).
  std::size_t part_count() const { return part_count_; }
  // Part i (0-based) as stored; empty past the sixth part or past the last.
  std::string_view part(std::size_t i) const;
  bool six_values() const { return part_count_ == 6; }

  // The numbers of the MP3 form; valid when mp3_usable().
  bool mp3_usable() const { return error_number_ == 0; }
  std::int64_t tag_sum() const { return numbers_[1]; }
  std::int64_t audio_length() const { return numbers_[2]; }
  std::int64_t start_of_audio() const { return numbers_[3]; }
  std::int64_t end_of_audio() const { return numbers_[5]; }
  // Value 1 as a number (the FLAC file length), or -1 when it is not one.
  std::int64_t listed_length() const { return listed_length_; }

  // Throws the field's first fault, naming the path: too few parts for either kind, and for MP3
  // also a value 1, 2, 3 or (six parts) 5 that is not a hexadecimal number.
  void throw_if_unusable(bool flac, const std::string& path) const;

 private:
  static constexpr std::size_t kKeptParts = 6;
  std::string text_;
  std::size_t part_count_ = 0;
  std::array<std::size_t, kKeptParts> begin_{};
  std::array<std::size_t, kKeptParts> size_{};
  std::array<std::int64_t, kKeptParts> numbers_{};
  std::int64_t listed_length_ = -1;
  int error_number_ = 0;     // the MP3 form's first fault; 0 for none
  int error_value_ = -1;     // the value it lies in; -1 for too few parts
};

// The MP3 fingerprint field: ID3v2 region sum, ID3v1 tag sum, length of audio, start of audio,
// the two four-digit block sums, and with `six_values` the end of audio. Throws StepError when no
// value set can be formed: no start of audio, no end of audio within the end search, or a file too
// short for the end block.
TrackFingerprint mp3_fingerprint(platform::ByteFile& file, bool six_values);
std::string mp3_fingerprint_values(platform::ByteFile& file, bool six_values);

// The FLAC fingerprint field: "0", the length, and the sums of the first, the last and the middle
// 100-byte blocks. Throws StepError for a file shorter than 101 bytes (no last block).
TrackFingerprint flac_fingerprint(platform::ByteFile& file);
std::string flac_fingerprint_values(platform::ByteFile& file);

}  // namespace qn
