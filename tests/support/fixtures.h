#pragma once
// Helpers for tests that need folders and files: a temporary folder removed afterwards, byte files,
// and MP3-like files whose fingerprints are known by construction.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/text.h"
#include "platform/wide_text.h"

namespace qn::test {

class TempFolder {
 public:
  explicit TempFolder(const std::string& tag = "test") {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("qn-" + tag + "-" + std::to_string(rd()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder text as the runs take it: ending in the separator.
  std::string folder() const { return path_.string() + kSep; }
  std::string text() const { return folder(); }

  void make_file(const std::string& relative, const std::string& content = "x") const { write(relative, content); }
  void make_folder(const std::string& relative) const { std::filesystem::create_directories(path_ / platform::native_path(relative)); }

  std::string write(const std::string& relative, const std::string& bytes = "") const {
    // Names are UTF-8, as the runs take them (the library alone would read them otherwise on Windows).
    std::filesystem::path p = path_ / platform::native_path(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
    return write(relative, std::string(bytes.begin(), bytes.end()));
  }
  // A copy of a demo folder of samples/, so that a run may create files in it; ends in the separator.
  std::string copy_sample(const std::string& sample_name) const {
    std::filesystem::copy(std::filesystem::path(QN_SAMPLES_DIR) / sample_name, path_ / sample_name,
                          std::filesystem::copy_options::recursive);
    return (path_ / sample_name).string() + kSep;
  }
  // The names of the entries directly inside the folder.
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) out.insert(entry.path().filename().string());
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline unsigned sum_of(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = from; i < from + count && i < bytes.size(); ++i) sum += bytes[i];
  return sum;
}

inline std::string hex4(unsigned v) { return text::right("0000" + text::hex_text(v), 4); }

// An MP3-like file: an optional ID3v2 region, `frames` MPEG-1 Layer III frames of 417 bytes
// (header FF FB 90 00), and an optional 128-byte ID3v1 tag.
struct FakeMp3 {
  std::vector<std::uint8_t> bytes;
  std::size_t start = 0;  // offset of the first frame
  bool has_id3v1 = false;

  static FakeMp3 Make(std::size_t id3v2_padding, int frames, bool id3v1, unsigned seed = 1) {
    FakeMp3 mp3;
    std::mt19937 rng(seed);
    if (id3v2_padding > 0) {
      // "ID3" 3.0, no flags, synchsafe size = padding bytes after the 10-byte header.
      std::size_t size = id3v2_padding;
      mp3.bytes = {'I', 'D', '3', 3, 0, 0,
                   static_cast<std::uint8_t>((size >> 21) & 0x7F), static_cast<std::uint8_t>((size >> 14) & 0x7F),
                   static_cast<std::uint8_t>((size >> 7) & 0x7F), static_cast<std::uint8_t>(size & 0x7F)};
      for (std::size_t i = 0; i < size; ++i) mp3.bytes.push_back(static_cast<std::uint8_t>(i % 7 == 0 ? 'x' : 0));
    }
    mp3.start = mp3.bytes.size();
    for (int f = 0; f < frames; ++f) {
      mp3.bytes.insert(mp3.bytes.end(), {0xFF, 0xFB, 0x90, 0x00});
      // Payload bytes below 0xFF, so no false frame header appears inside a frame.
      for (int i = 4; i < 417; ++i) mp3.bytes.push_back(static_cast<std::uint8_t>(rng() % 255));
    }
    if (id3v1) {
      mp3.has_id3v1 = true;
      std::vector<std::uint8_t> tag(128, ' ');
      tag[0] = 'T'; tag[1] = 'A'; tag[2] = 'G';
      for (int i = 3; i < 33; ++i) tag[i] = static_cast<std::uint8_t>('a' + i % 26);
      mp3.bytes.insert(mp3.bytes.end(), tag.begin(), tag.end());
    }
    return mp3;
  }

  // The same with an ID3v2.3 tag holding TPE1 (artist) and TIT2 (title) as ISO-8859-1 texts.
  static FakeMp3 make_tagged(const std::string& artist, const std::string& title, int frames, unsigned seed = 1) {
    std::vector<std::uint8_t> body;
    auto frame = [&body](const char* id, const std::string& text) {
      std::size_t size = text.size() + 1;
      body.insert(body.end(), id, id + 4);
      body.insert(body.end(), {0, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size & 0xFF), 0, 0, 0});
      body.insert(body.end(), text.begin(), text.end());
    };
    frame("TPE1", artist);
    frame("TIT2", title);
    body.resize(body.size() + 64, 0);  // padding
    FakeMp3 mp3 = Make(0, frames, false, seed);
    std::vector<std::uint8_t> head = {'I', 'D', '3', 3, 0, 0, 0, 0,
                                      static_cast<std::uint8_t>((body.size() >> 7) & 0x7F),
                                      static_cast<std::uint8_t>(body.size() & 0x7F)};
    head.insert(head.end(), body.begin(), body.end());
    mp3.bytes.insert(mp3.bytes.begin(), head.begin(), head.end());
    mp3.start = head.size();
    return mp3;
  }

  // The five-part fingerprint field, computed from the construction.
  std::string Fingerprint() const {
    std::size_t L = bytes.size();
    std::size_t s = start == 0 ? 1 : start;  // a first frame at offset 0 counts from 1
    std::size_t t = has_id3v1 ? 128 : 0;
    std::string id3v2 = text::hex_text(sum_of(bytes, 0, start));
    std::string id3v1 = has_id3v1 ? text::hex_text(sum_of(bytes, L - 128, 128)) : "0";
    return id3v2 + "Z" + id3v1 + "Z" + text::hex_text(L - s - t) + "Z" + text::hex_text(start) + "Z" +
           hex4(sum_of(bytes, s, 255)) + hex4(sum_of(bytes, L - 383, 255));
  }
};

}  // namespace qn::test
