// The checksum-line handling of a run on arbitrary checksum files: line splitting, track keys,
// categories, sheet-music notes, the placeholder-name guard, and the track matcher's name variants.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/file_list.h"
#include "base/step_error.h"
#include "engine/checksum_file.h"
#include "fuzz_support.h"
#include "naming/category.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
#include "naming/track_key.h"

namespace {

// A folder that does not exist, so the matcher's tag step finds no file to open.
const std::string kFolder = "/nonexistent-qn-fuzz-folder/";

// True when a name, put after a folder, could reach outside it: a root, a drive, a ".." part.
bool climbs_out(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') == 1) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.substr(start, end == std::string::npos ? std::string::npos : end - start) == "..") return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

template <typename Step>
void guarded(Step&& step) {
  try {
    step();
  } catch (const qn::StepError&) {
  }
}

void check_line(const std::string& line, const qn::SortedIndex& index) {
  guarded([&] { (void)qn::TrackKey(line); });
  guarded([&] { (void)qn::TrackKey(line, true); });
  guarded([&] { (void)qn::CollectionCategory(line); });
  guarded([&] { (void)qn::SheetMusicNote(line); });
  (void)qn::FileTypeLabel(line, ".mp3");
  (void)qn::MiddlePart(line);
  if (qn::placeholder_name_is_safe(line) && climbs_out(line)) __builtin_trap();
  const std::size_t at = line.find(".mp3");
  const std::string name = line.substr(0, at);
  guarded([&] {
    const int found = qn::MatchTrackFile(index, kFolder + name + ".mp3");
    if (found == 0 || found >= static_cast<int>(index.list().size())) __builtin_trap();
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qn::FileList list = [] {
    qn::FileList l = qn::empty_file_list();
    for (const char* name : {"u1964_001 - Artist - Title.mp3", "u1964_002a - The Band - Song.mp3",
                             "uSM1950_003 - Composer - Piece.mp3", "uLP1970_004 - A - B.nfo"})
      l.push_back(kFolder + name);
    qn::SortFileList(l);
    return l;
  }();
  static const qn::SortedIndex index(list);

  qn::ChecksumFile checksums("fuzz.qn", std::string(reinterpret_cast<const char*>(data), size));
  std::size_t lines = 0;
  do {
    std::string line;
    try {
      line = checksums.read_line();
    } catch (const qn::StepError&) {
      break;
    }
    if (++lines > size + 1) __builtin_trap();  // every line but an empty file's consumes a byte
    check_line(line, index);
  } while (!checksums.at_end());
  return 0;
}
