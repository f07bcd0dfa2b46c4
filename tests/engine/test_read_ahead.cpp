// Reading ahead and checking ahead on other threads change nothing a run reports, even when the
// folder changes under it: files read or checked ahead may vanish, shrink, grow, be swapped or
// become folders before their entry's turn comes.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <chrono>
#include <functional>
#include <thread>
#include <memory>

#include "base/text.h"
#include "engine/job_pool.h"
#include "engine/verify.h"
#include "platform/file_access.h"
#include "platform/read_ahead.h"
#include "support/collected_run.h"
#include "support/fixtures.h"
#include "support/test_host.h"

namespace fs = std::filesystem;

namespace qn {
namespace {

using test::FakeMp3;
using test::TempFolder;

struct Change {
  int at;  // applied as the at-th entry (from 1) is about to be checked
  std::function<void(const fs::path& folder)> apply;
};

constexpr int kId3v1OffAt = 30;

// Applies the changes at their entries, whatever has been read ahead by then.
class ChangingHost : public test::RecordingHost {
 public:
  ChangingHost(fs::path folder, std::vector<Change> changes) : folder_(std::move(folder)), changes_(std::move(changes)) {}
  void show_progress(const std::string& text) override {
    RecordingHost::show_progress(text);
    ++entries_;
    for (const Change& change : changes_)
      if (change.at == entries_) change.apply(folder_);
    // The window may untick an ID3 box while the run goes on: entries planned before still use it.
    if (entries_ == kId3v1OffAt) id3v1 = false;
  }

 private:
  fs::path folder_;
  std::vector<Change> changes_;
  int entries_ = 0;
};

// What a run reports, with its folder written as "<F>".
std::string outcome(const test::CollectedRun& r, const std::vector<StepErrorRecord>& errors, const std::string& folder) {
  std::string text = r.report_text;
  for (const StepErrorRecord& e : errors) text += std::to_string(e.number) + " " + e.description + " [" + e.context + "]\n";
  for (const EntryResult& e : r.entries) text += std::to_string(static_cast<int>(e.status)) + (e.step_failed ? "!" : "") + "\n";
  return text::replace_all(text, folder, "<F>");
}

// Every file read as one the system holds in memory, or as one it has to fetch from the device
// (on Windows the system never tells, so every file is fetched there).
class CacheState {
 public:
  explicit CacheState(bool in_cache) {
#ifndef _WIN32
    ssize_t (*fetch)(int, void*, size_t, off_t) = [](int, void*, size_t, off_t) -> ssize_t {
      errno = EAGAIN;
      return -1;
    };
    platform::system_calls().pread_cached = in_cache ? platform::real_system_calls().pread : fetch;
#else
    (void)in_cache;
#endif
  }
  ~CacheState() { platform::system_calls() = platform::real_system_calls(); }
};

std::string track(int i) { return "u1975_" + std::string(i < 10 ? "00" : "0") + std::to_string(i) + " - A - T.mp3"; }

// On Windows a file that a reader ahead holds open cannot change its size until the reader lets
// it go, which it does once its ranges are read: the change waits for that.
void resize(const fs::path& p, std::uintmax_t size) {
  std::error_code error;
  for (int attempt = 0; attempt < 5000; ++attempt) {
    fs::resize_file(p, size, error);
    if (!error) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  fs::resize_file(p, size);
}

const std::vector<Change> kChanges = {
    {3, [](const fs::path& f) { fs::remove(f / track(6)); }},
    {3, [](const fs::path& f) { resize(f / track(7), 1000); }},
    {3, [](const fs::path& f) { resize(f / track(8), 0); }},
    {3, [](const fs::path& f) {
       fs::rename(f / track(9), f / "swap");
       fs::rename(f / track(10), f / track(9));
       fs::rename(f / "swap", f / track(10));
     }},
    {3, [](const fs::path& f) {
       // Renamed away first: on Windows a removed file keeps its name while a reader holds it open.
       fs::rename(f / track(11), f / "gone");
       fs::remove(f / "gone");
       fs::create_directory(f / track(11));
     }},
    {3, [](const fs::path& f) { resize(f / track(12), fs::file_size(f / track(12)) + 500); }},
    // The file of the entry about to be checked, after its read-ahead.
    {20, [](const fs::path& f) { resize(f / track(20), fs::file_size(f / track(20)) / 2); }},
    {25, [](const fs::path& f) { fs::remove(f / track(25)); }},
};

TEST(ReadAhead, AudioRunReportsTheSameAtEveryDepthAndThreadCountWhileFilesChange) {
  struct Setup {
    int threads;    // checking threads (1: every check in the loop)
    int depth;      // reads in flight
    bool in_cache;  // the files are in memory: only probed, never read ahead
  };
  const Setup kSetups[] = {{1, 1, true},  {2, 1, true},   {8, 1, true},   {1, 4, true},  {1, 4, false},
                           {1, 64, false}, {2, 16, false}, {8, 64, true}, {8, 64, false}};
  for (bool deep : {false, true}) {
    std::string reference;
    for (const Setup& setup : kSetups) {
      TempFolder dir;
      std::string qn;
      for (int i = 1; i <= 40; ++i) {
        // Long enough for the head and the tail to be read as two ranges.
        FakeMp3 mp3 = FakeMp3::Make(static_cast<std::size_t>(100 * i), 60 + i, i % 3 != 0, static_cast<unsigned>(i));
        dir.write(track(i), mp3.bytes);
        qn += track(i) + mp3.Fingerprint() + "\r\n";
      }
      const std::string qn_path = dir.write("Chart 1975.qn", qn);
      const CacheState cache(setup.in_cache);
      std::unique_ptr<platform::ReadAheadPool> pool = setup.depth > 1 ? std::make_unique<platform::ReadAheadPool>(setup.depth) : nullptr;
      std::unique_ptr<JobPool> workers = setup.threads > 1 ? std::make_unique<JobPool>(setup.threads) : nullptr;
      ChangingHost host(dir.path(), kChanges);
      RunOptions options = test::test_options();
      options.read_ahead = pool.get();
      options.job_pool = workers.get();
      options.deep_check = deep;
      test::CollectedRun r = test::verify_audio(dir.folder(), qn_path, false, host, options);
      const std::string got = outcome(r, host.errors, dir.folder());
      const std::string name = std::string(deep ? "deep, " : "") + std::to_string(setup.threads) + " threads, depth " +
                               std::to_string(setup.depth) + (setup.in_cache ? ", in memory" : ", fetched");
      if (reference.empty()) {
        reference = got;
        // The vanished file, the folder, the removed checked file.
        if (!deep) {
          EXPECT_EQ(host.errors.size(), 3u) << got;
        }
        EXPECT_NE(got.find("u1975_007 FAIL"), std::string::npos) << got;
        EXPECT_NE(got.find("u1975_031 OK"), std::string::npos) << got;  // checked without its ID3v1 tag
      } else {
        EXPECT_EQ(got, reference) << name;
      }
    }
  }
}

#ifndef _WIN32
std::atomic<int> g_track_opens{0};

// A folder in memory costs its run a few probes and nothing else: no file is read ahead, however
// deep the reading ahead may go.
TEST(ReadAhead, AFolderInMemoryIsOnlyProbed) {
  TempFolder dir;
  std::string qn;
  for (int i = 1; i <= 300; ++i) {
    FakeMp3 mp3 = FakeMp3::Make(100, 60, true, static_cast<unsigned>(i));
    const std::string name = "u1975_" + std::to_string(1000 + i) + " - A - T.mp3";
    dir.write(name, mp3.bytes);
    qn += name + mp3.Fingerprint() + "\r\n";
  }
  const std::string qn_path = dir.write("Chart 1975.qn", qn);
  auto opens_at = [&](int depth) {
    const CacheState cache(true);
    platform::system_calls().openat = [](int at, const char* name, int flags, mode_t mode) {
      if (std::strncmp(name, "u1975_", 6) == 0) ++g_track_opens;
      return platform::real_system_calls().openat(at, name, flags, mode);
    };
    platform::system_calls().open = [](const char* path, int flags, mode_t mode) {
      if (std::strstr(path, "/u1975_") != nullptr) ++g_track_opens;
      return platform::real_system_calls().open(path, flags, mode);
    };
    g_track_opens = 0;
    std::unique_ptr<platform::ReadAheadPool> pool = depth > 1 ? std::make_unique<platform::ReadAheadPool>(depth) : nullptr;
    test::RecordingHost host;
    RunOptions options = test::test_options();
    options.read_ahead = pool.get();
    test::verify_audio(dir.folder(), qn_path, false, host, options);
    return g_track_opens.load();
  };
  const int alone = opens_at(1);
  EXPECT_GE(alone, 300);
  for (int depth : {2, 16, 256}) {
    const int opens = opens_at(depth);
    // The first eight files, and one in a hundred and twenty-eight after them.
    EXPECT_GE(opens, alone + 8) << depth;
    EXPECT_LE(opens, alone + 8 + 300 / 128) << depth;
  }
}
#endif

}  // namespace
}  // namespace qn
