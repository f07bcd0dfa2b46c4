#pragma once
// Small collections for the qnverify -r tests: MP3 folders built from FakeMp3 tracks with their
// checksum files, and label folders with their "*Labels.qn".
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace qn::test {

class Collection {
 public:
  std::string root() const { return dir_.path().string(); }
  // The folder text as the reports print it.
  std::string folder(const std::string& relative) const { return (dir_.path() / relative).string() + kSep; }

  // `good` tracks that pass, then `missing` lines whose files are absent; `extra_lines` are added
  // to the checksum file as they are.
  void Audio(const std::string& relative, int good, int missing = 0, const std::string& qn_name = "c.qn",
             const std::string& extra_lines = "") const {
    std::string qn;
    for (int i = 1; i <= good + missing; ++i) {
      std::string name = track_name(i);
      FakeMp3 mp3 = FakeMp3::Make(0, 6, true, static_cast<unsigned>(i) * 7u + static_cast<unsigned>(relative.size()));
      if (i <= good) dir_.write(relative + "/" + name, mp3.bytes);
      qn += name + mp3.Fingerprint() + "\r\n";
    }
    dir_.write(relative + "/" + qn_name, qn + extra_lines);
  }

  // `images` label images that pass, plus one line whose image is absent.
  void Labels(const std::string& relative, int images) const {
    std::string qn;
    for (int i = 1; i <= images + 1; ++i) {
      std::string name = "u1964_00" + std::to_string(i) + ".jpg";
      std::vector<std::uint8_t> bytes(300 + static_cast<std::size_t>(i));
      for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<std::uint8_t>(b * static_cast<std::size_t>(i));
      if (i <= images) dir_.write(relative + "/" + name, bytes);
      qn += name + "\xFF" + std::to_string(bytes.size()) + "\xFF" + hex4(sum_of(bytes, 0, 255)) + "\r\n";
    }
    dir_.write(relative + "/Set Labels.qn", qn);
  }

  void File(const std::string& relative, const std::string& bytes) const { dir_.write(relative, bytes); }

  static std::string track_name(int i) {
    return "u1964_00" + std::to_string(i) + " - Artist " + std::to_string(i) + " - Title.mp3";
  }

 private:
  TempFolder dir_;
};

// The text without its "Date & Time: ..." lines, which differ between runs a second apart.
inline std::string without_dates(const std::string& text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    if (text.compare(at, 12, "Date & Time:") != 0) out += text.substr(at, end - at);
    at = end;
  }
  return out;
}

}  // namespace qn::test
