// The MP3 deep check on arbitrary bytes: every input ends in a verdict that stays inside the file.
#include <cstddef>
#include <cstdint>

#include "audio/content_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qn::MemoryContentSource source(data, size);
  const qn::ContentVerdict v = qn::check_mp3_content(source);
  const auto length = static_cast<std::int64_t>(size);
  if (v.offset < -1 || v.offset > length) __builtin_trap();
  if (v.frame < -1 || v.frame == 0 || v.frame > length) __builtin_trap();
  if (v.method.empty() || v.detail.empty()) __builtin_trap();
  if (v.detail.find('\n') != std::string::npos) __builtin_trap();
  if (v.status == qn::ContentStatus::kUnreadable) __builtin_trap();  // memory never ends early
  return 0;
}
