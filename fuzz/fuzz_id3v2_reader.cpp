// The ID3v2 tag reader on arbitrary file bytes: loading and every getter must hold, whatever sizes
// and ids the tag claims.
#include <cstddef>
#include <cstdint>

#include "base/step_error.h"
#include "fuzz_support.h"
#include "id3v2/cMP3ID3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qn::cMP3ID3v2 tag;
  try {
    qn::platform::ByteFile file = qn::fuzz::memory_file("fuzz.mp3", {reinterpret_cast<const char*>(data), size});
    tag.MP3File(file);
  } catch (const qn::StepError&) {
    return 0;
  }
  std::size_t total = tag.Title().size() + tag.Artist().size() + tag.Album().size() + tag.Comment().size() +
                      tag.OtherGenreName().size() + tag.Picture().size() + tag.MCDI().size() +
                      tag.GEOB().size() + tag.GenreName(tag.Genre()).size();
  // The frame view must agree with itself: every listed id has instances 1..count.
  for (std::int32_t i = 1; i <= tag.FrameCount(); ++i) {
    const std::string id = tag.Frame(i);
    const std::int32_t count = tag.TagsInFrame(id);
    if (count < 1) __builtin_trap();
    total += tag.TagText(id, 1).size() + tag.TagText(id, count).size();
  }
  if (tag.HasID3v2Tag() && tag.ID3v2TagLenOnLoad() < 0) __builtin_trap();
  if (total > 3 * size + 1024) __builtin_trap();  // nothing may hold more bytes than the file gave
  return 0;
}
