// The per-file audio check on arbitrary file bytes and an arbitrary fingerprint field.
// Input: one byte choosing the file kind and the ID3 options, the fingerprint field up to the
// first LF, then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "audio/check_audio_file.h"
#include "base/step_error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qn::fuzz::ScratchFile mp3(".mp3");
  static const qn::fuzz::ScratchFile flac(".flac");
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string fingerprint = qn::fuzz::take_piece(rest, '\n');
  const bool is_flac = mode & 1;
  const std::string& path = (is_flac ? flac : mp3).write(rest);
  try {
    const std::string result = qn::CheckAudioFile(path, fingerprint, {(mode & 2) != 0, (mode & 4) != 0});
    // An MP3 result starts with its code digit; a FLAC result is four flags.
    if (is_flac) {
      if (result.size() != 4 || result.find_first_not_of("01") != std::string::npos) __builtin_trap();
    } else if (result.empty() || result[0] < '0' || result[0] > '6') {
      __builtin_trap();
    }
  } catch (const qn::StepError&) {
  }
  return 0;
}
