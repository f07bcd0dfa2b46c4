// The label-image line split and check on arbitrary lines and image bytes.
// Input: the label line up to the first CR, then the image's bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/step_error.h"
#include "engine/verify_labels.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string line = qn::fuzz::take_piece(rest, '\r');
  const std::vector<std::string> fields = qn::split_label_line(line);
  if (fields.empty()) __builtin_trap();
  try {
    qn::platform::ByteFile image = qn::fuzz::memory_file("fuzz.jpg", rest);
    const int result = qn::CheckLabelImage(fields, image);
    if (result < 0 || result > 3) __builtin_trap();
  } catch (const qn::StepError&) {
  }
  return 0;
}
