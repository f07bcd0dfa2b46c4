// qnfloor: the floor of a folder run. For each track of a checksum file it opens the file as a
// run does (from the held folder, without following links; the one fstat of the open; the advice
// that the file is read at a few places) and reads the byte ranges the audio check reads, one read
// per range, into memory; nothing else: no listing, no sums, no report. N files are read at once
// (one read in flight each). Prints the bytes requested, then the same rounded out to whole 4 KiB
// pages (what a device must read at least).
//
//   qnfloor [--depth N] FOLDER QN_FILE
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/check_audio_file.h"
#include "base/text.h"
#include "engine/checksum_file.h"
#include "platform/file_access.h"

namespace {

struct Track {
  std::string path;
  std::string fingerprint;
};

// The file name of a checksum line ends at its first ".mp3" or ".flac" in any letter case; the
// fingerprint field follows.
std::vector<Track> tracks_of(const std::string& folder, const std::string& qn_path) {
  std::string bytes;
  if (const auto error = qn::platform::read_regular_file(qn_path, qn::kMaxChecksumFileSize, bytes))
    throw qn::platform::step_error(*error);
  std::vector<Track> tracks;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\r', at);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(at, end - at);
    at = end + 1;
    if (at < bytes.size() && bytes[at] == '\n') ++at;
    const std::string lower = qn::text::to_lower(line);
    std::size_t ext = std::min(lower.find(".mp3"), lower.find(".flac"));
    if (ext == std::string::npos) continue;
    ext += lower.compare(ext, 4, ".mp3") == 0 ? 4 : 5;
    tracks.push_back({folder + "/" + line.substr(0, ext), line.substr(ext)});
  }
  return tracks;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int depth = 16;
  if (args.size() == 4 && args[0] == "--depth") {
    depth = std::stoi(args[1]);
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2 || depth < 1) {
    std::cerr << "usage: qnfloor [--depth N] FOLDER QN_FILE\n";
    return 2;
  }
  while (args[0].size() > 1 && args[0].back() == '/') args[0].pop_back();
  std::vector<Track> tracks;
  try {
    tracks = tracks_of(args[0], args[1]);
  } catch (const std::exception& e) {
    std::cerr << "qnfloor: " << e.what() << "\n";
    return 1;
  }
  // Held as a run holds its folder: each track is opened from it.
  const qn::platform::HeldFolder held(args[0]);
  if (!held.held()) {
    std::cerr << "qnfloor: cannot open the folder " << args[0] << "\n";
    return 1;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> requested{0};
  std::atomic<std::int64_t> in_pages{0};
  std::atomic<long> failed{0};
  constexpr std::int64_t kPage = 4096;
  auto reader = [&] {
    std::vector<std::uint8_t> buffer;
    for (std::size_t i = next++; i < tracks.size(); i = next++) {
      const Track& t = tracks[i];
      try {
        std::optional<qn::platform::Error> error;
        qn::platform::ReadableFile file(t.path, error);
        if (error) throw qn::platform::step_error(*error);
        for (const qn::platform::ByteRange& r : qn::audio_check_reads(t.path, t.fingerprint, file.length())) {
          buffer.resize(std::max(buffer.size(), static_cast<std::size_t>(r.size)));
          std::size_t got = 0;
          error = file.read(r.offset, buffer.data(), static_cast<std::size_t>(r.size), got);
          if (error) throw qn::platform::step_error(*error);
          requested += r.size;
          in_pages += (r.offset + r.size + kPage - 1) / kPage * kPage - r.offset / kPage * kPage;
        }
      } catch (const std::exception&) {
        ++failed;
      }
    }
  };
  if (depth == 1) {
    reader();
  } else {
    std::vector<std::thread> threads;
    for (int i = 0; i < depth; ++i) threads.emplace_back(reader);
    for (std::thread& t : threads) t.join();
  }
  if (failed) std::cerr << "qnfloor: " << failed << " tracks could not be read\n";
  std::cout << requested.load() << " " << in_pages.load() << "\n";
  return 0;
}
