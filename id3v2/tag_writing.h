#pragma once
// The two steps of writing a tag: building the version 3 image in memory, then putting it into
// the file, in place or through a rebuilt file that replaces the original by renaming.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qn::id3v2 {

// "ID3", version 3, revision 0, flags 0 and the synchsafe tag size.
std::string tag_header(std::uint32_t size);

// One version 3 frame: id, 32-bit content size, two zero flag bytes, then the content: the
// encoding byte 0 and the text. A text or comment frame whose text already begins with an
// encoding byte of its own (1 to 3, as loaded from a tag in UTF-16 or UTF-8) is written as it
// is, so writing back a loaded tag does not garble it.
std::string encode_frame(const std::string& id, const std::string& text);

// The tag size a newly made space gets: the next multiple of 2048 strictly above the image length.
std::int64_t tag_room(std::int64_t image_length);

// Writes `image` (header, frames, four zero bytes; its size field is filled in here) into the
// file at `path`. Throws StepError naming the path; on any failure of a rebuild the original
// file stays as it was and no new file is left behind.
void write_tag(const std::string& path, std::string image);

// Test seam: called before the steps "create", "write" and "rename" of a rebuild; returning true
// makes that step fail as a failing system call would. An empty hook removes it.
using FaultHook = std::function<bool(std::string_view step)>;
void set_fault_hook(FaultHook hook);

}  // namespace qn::id3v2
