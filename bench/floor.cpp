// qnfloor: the floor of a cold folder run. Reads exactly the byte ranges the audio checks of a
// folder read (the head, and the tail or the last 80,005 bytes), with a number of reads in flight,
// and does nothing else; prints the bytes requested, then the same rounded out to whole 4 KiB
// pages (what a device must read at least).
//
//   qnfloor [--depth N] FOLDER QN_FILE
#include <atomic>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "audio/check_audio_file.h"
#include "platform/read_ahead.h"

namespace {

struct Track {
  std::string path;
  std::string fingerprint;
};

std::vector<Track> tracks_of(const std::string& folder, const std::string& qn_path) {
  std::ifstream in(qn_path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<Track> tracks;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\r', at);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(at, end - at);
    at = end + 1;
    if (at < bytes.size() && bytes[at] == '\n') ++at;
    const std::size_t ext = line.find(".mp3");
    if (ext != std::string::npos) tracks.push_back({folder + "/" + line.substr(0, ext + 4), line.substr(ext + 4)});
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
  const std::vector<Track> tracks = tracks_of(args[0], args[1]);
  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> requested{0};
  std::atomic<std::int64_t> in_pages{0};
  constexpr std::int64_t kPage = 4096;
  auto reader = [&] {
    std::vector<std::uint8_t> scratch(64 * 1024);
    for (std::size_t i = next++; i < tracks.size(); i = next++) {
      const Track& t = tracks[i];
      qn::read_ranges(t.path, [&](std::int64_t length) {
        std::vector<qn::ByteRange> ranges = qn::audio_check_reads(t.path, t.fingerprint, length);
        for (const qn::ByteRange& r : ranges) {
          requested += r.size;
          in_pages += (r.offset + r.size + kPage - 1) / kPage * kPage - r.offset / kPage * kPage;
        }
        return ranges;
      }, scratch);
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < depth; ++i) threads.emplace_back(reader);
  for (std::thread& t : threads) t.join();
  std::cout << requested.load() << " " << in_pages.load() << "\n";
  return 0;
}
