// Times the per-file audio check on a generated ~300 KB MP3-like file: an ID3v2 tag, 128 kbit/s
// frames of pseudo-random payload (sync-like bytes included) and an ID3v1 tag. Then the searches
// on sparse files of zeros (100 GB and the largest the file system takes; QN_BENCH_SPARSE_DIR,
// else /dev/shm, else the temporary folder) and on a file of real zeros.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "audio/audio_search.h"
#include "audio/check_audio_file.h"
#include "audio/track_fingerprint.h"
#include "platform/byte_file.h"

namespace {

std::string make_file() {
  std::vector<std::uint8_t> b(300 * 1024);
  std::mt19937 rng(12345);
  for (auto& byte : b) byte = static_cast<std::uint8_t>(rng());
  const std::size_t tag = 20000;
  const std::uint8_t id3[10] = {'I', 'D', '3', 3, 0, 0, 0, 1, 0x1C, 0x16};  // size 19990
  std::copy(id3, id3 + 10, b.begin());
  for (std::size_t i = 10; i < tag; ++i) b[i] = 0;
  for (std::size_t at = tag; at + 4 < b.size() - 128; at += 417) {
    b[at] = 0xFF; b[at + 1] = 0xFB; b[at + 2] = 0x90; b[at + 3] = 0x00;
  }
  b[b.size() - 128] = 'T'; b[b.size() - 127] = 'A'; b[b.size() - 126] = 'G';
  std::string path = (std::filesystem::temp_directory_path() / "qn_bench_audio.mp3").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                              static_cast<std::streamsize>(b.size()));
  return path;
}

void BM_CheckAudioFile(benchmark::State& state) {
  static const std::string path = make_file();
  // Six parts, so the end search runs as well; sums need not match for the timing.
  const std::string fingerprint = state.range(0) ? "1Z2Z3Z4E20Z0000000Z49D20" : "1Z2Z3Z4E20Z00000000";
  for (auto _ : state) {
    benchmark::DoNotOptimize(qn::CheckAudioFile(path, fingerprint, {true, true}));
  }
}
BENCHMARK(BM_CheckAudioFile)->Arg(0)->Arg(1);

std::filesystem::path sparse_folder() {
  if (const char* dir = std::getenv("QN_BENCH_SPARSE_DIR")) return dir;
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// A file of zeros of the given length, with a pair of 417-byte frames 2000 bytes before the end
// when `pair`; sparse where the file system allows it.
std::string make_zeros(const std::string& name, std::uint64_t length, bool pair, bool sparse = true) {
  const std::string path = (sparse_folder() / name).string();
  std::filesystem::remove(path);
  std::ofstream out(path, std::ios::binary);
  if (!sparse) {
    const std::vector<char> zeros(1 << 20, 0);
    for (std::uint64_t done = 0; done < length; done += zeros.size())
      out.write(zeros.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(zeros.size(), length - done)));
  }
  out.close();
  std::error_code ec;
  std::filesystem::resize_file(path, length, ec);
  if (ec) return {};
  if (pair) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    const char header[4] = {'\xFF', '\xFB', '\x90', '\x00'};
    f.seekp(static_cast<std::streamoff>(length - 2000));
    f.write(header, 4);
    f.seekp(static_cast<std::streamoff>(length - 2000 + 417));
    f.write(header, 4);
  }
  return path;
}

// The largest sparse file the folder's file system takes: 2^63 - 1 bytes, else the largest power
// of two down to 1 GiB.
std::uint64_t largest_sparse_length() {
  const std::string path = (sparse_folder() / "qn_bench_probe.mp3").string();
  std::ofstream(path, std::ios::binary).close();
  std::uint64_t length = 0;
  for (int bits = 63; bits >= 30 && length == 0; --bits) {
    const std::uint64_t tried = bits == 63 ? (std::uint64_t{1} << 63) - 1 : std::uint64_t{1} << bits;
    std::error_code ec;
    std::filesystem::resize_file(path, tried, ec);
    if (!ec) length = tried;
  }
  std::filesystem::remove(path);
  return length;
}

// Both searches and, where a start is found, the fingerprint of the create path (whose ID3v2
// region sum runs over the whole hole).
void search_and_fingerprint(benchmark::State& state, const std::string& path) {
  if (path.empty()) {
    state.SkipWithError("the file system refuses the file");
    return;
  }
  for (auto _ : state) {
    qn::platform::ByteFile file(path);
    const std::int64_t start = qn::FindStartOfAudio(file);
    benchmark::DoNotOptimize(qn::FindEndOfAudio(file));
    if (start != -1) benchmark::DoNotOptimize(qn::mp3_fingerprint_values(file, true));
  }
  state.counters["GB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e9;
  std::filesystem::remove(path);
}

// Arg: 0 zeros only, 1 with a pair of frames at the end.
void BM_Sparse100GB(benchmark::State& state) {
  search_and_fingerprint(state, make_zeros("qn_bench_sparse.mp3", 100'000'000'000ull, state.range(0) != 0));
}
BENCHMARK(BM_Sparse100GB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SparseLargest(benchmark::State& state) {
  search_and_fingerprint(state, make_zeros("qn_bench_sparse.mp3", largest_sparse_length(), state.range(0) != 0));
}
BENCHMARK(BM_SparseLargest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 1 GiB of zeros the file system holds as data: the scan at memory speed.
void BM_RealZeros1GiB(benchmark::State& state) {
  const std::uint64_t length = std::uint64_t{1} << 30;
  const std::string path = make_zeros("qn_bench_zeros.mp3", length, true, false);
  for (auto _ : state) {
    qn::platform::ByteFile file(path);
    benchmark::DoNotOptimize(qn::FindStartOfAudio(file));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
  std::filesystem::remove(path);
}
BENCHMARK(BM_RealZeros1GiB)->Unit(benchmark::kMillisecond);

}  // namespace
