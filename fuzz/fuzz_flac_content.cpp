// The FLAC deep check on arbitrary bytes: every input gets a verdict that the check can give.
#include <cstddef>
#include <cstdint>

#include "audio/content_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qn::MemoryContentSource source(data, size);
  const qn::ContentVerdict v = qn::check_flac_content(source);
  const bool ok = v.status == qn::ContentStatus::kOk;
  // No FLAC verdict says "unchecked" or "unreadable"; a pass names its proof and a failure its check
  // and what it saw; a place lies inside the input.
  if (v.status == qn::ContentStatus::kUnchecked || v.status == qn::ContentStatus::kUnreadable) __builtin_trap();
  if (v.method.empty() || v.detail.empty() || v.detail.back() == '.' || v.detail.find('\n') != v.detail.npos)
    __builtin_trap();
  if (ok && (v.method != "MD5 and frame CRCs" && v.method != "frame CRCs")) __builtin_trap();
  if (ok && (v.offset != -1 || v.frame != -1)) __builtin_trap();
  if (v.offset < -1 || v.offset > static_cast<std::int64_t>(size) || v.frame == 0 || v.frame < -1) __builtin_trap();
  return 0;
}
