// The per-file audio check on arbitrary file bytes and an arbitrary fingerprint field.
// Input: one byte choosing the file kind and the ID3 options, the fingerprint field up to the
// first LF, then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "audio/check_audio_file.h"
#include "audio/track_fingerprint.h"
#include "base/step_error.h"
#include "base/text.h"
#include "fuzz_support.h"

namespace {

// A hexadecimal value written as the line writer writes it: capitals, no leading zero.
bool canonical_hex(std::string_view s, unsigned long long& value) {
  return qn::text::parse_hex(s, value) && qn::text::hex_text(value) == s;
}

// A field the writer could have written formats back to the same text from its parsed values.
void check_formatting(const qn::TrackFingerprint& fp) {
  std::string joined;
  for (std::size_t i = 0; i < fp.part_count() && i < 6; ++i) joined += (i ? "Z" : "") + std::string(fp.part(i));
  if (fp.part_count() <= 6 && joined != fp.text()) __builtin_trap();
  unsigned long long v0 = 0, v1 = 0, v2 = 0, v3 = 0, v5 = 0, sums = 0;
  const std::string_view p4 = fp.part(4);
  const bool mp3_form = (fp.part_count() == 5 || fp.part_count() == 6) && fp.mp3_usable() &&
                        canonical_hex(fp.part(0), v0) && canonical_hex(fp.part(2), v2) &&
                        canonical_hex(fp.part(3), v3) && (!fp.six_values() || canonical_hex(fp.part(5), v5)) &&
                        p4.size() == 8 && qn::text::parse_hex(p4, sums) &&
                        p4.find_first_of("abcdef") == std::string_view::npos;
  if (mp3_form) {
    const qn::TrackFingerprint again = qn::TrackFingerprint::mp3(
        v0, fp.part(1), static_cast<std::int64_t>(v2), static_cast<std::int64_t>(v3),
        static_cast<std::uint32_t>(sums >> 16), static_cast<std::uint32_t>(sums & 0xFFFF),
        fp.six_values() ? static_cast<std::int64_t>(v5) : -1);
    if (again.text() != fp.text()) __builtin_trap();
  }
  if (fp.part_count() == 5 && fp.part(0) == "0" && canonical_hex(fp.part(1), v1) && fp.listed_length() >= 0) {
    if (qn::TrackFingerprint::flac(fp.listed_length(), fp.part(2), fp.part(3), fp.part(4)).text() != fp.text())
      __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string fingerprint = qn::fuzz::take_piece(rest, '\n');
  const qn::TrackFingerprint parsed(fingerprint);
  check_formatting(parsed);
  const bool is_flac = mode & 1;
  const std::string path = is_flac ? "fuzz.FLAC" : "fuzz.mp3";
  // The plan stays inside the file, in file order, ranges apart.
  const std::int64_t length = static_cast<std::int64_t>(rest.size());
  std::int64_t covered = 0;
  for (const qn::platform::ByteRange& r : qn::audio_check_reads(path, parsed, length)) {
    if (r.offset < covered || r.size <= 0 || r.offset + r.size > length) __builtin_trap();
    covered = r.offset + r.size + 1;
  }
  const qn::ID3Options options{(mode & 2) != 0, (mode & 4) != 0};
  std::string result, again;
  try {
    qn::platform::ByteFile file = qn::fuzz::memory_file(path, rest);
    result = qn::CheckAudioFile(file, fingerprint, options);
  } catch (const qn::StepError&) {
    result = "error";
  }
  try {
    qn::platform::ByteFile file = qn::fuzz::memory_file(path, rest);
    again = qn::CheckAudioFile(file, parsed, options);
  } catch (const qn::StepError&) {
    again = "error";
  }
  if (again != result) __builtin_trap();
  if (result == "error") return 0;
  // An MP3 result starts with its code digit; a FLAC result is four flags.
  if (is_flac) {
    if (result.size() != 4 || result.find_first_not_of("01") != std::string::npos) __builtin_trap();
  } else if (result.empty() || result[0] < '0' || result[0] > '6') {
    __builtin_trap();
  }
  return 0;
}
