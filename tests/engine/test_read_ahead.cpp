// Reading ahead changes nothing a run reports, even when the folder changes under it: files read
// ahead may vanish, shrink, grow, be swapped or become folders before their check comes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "base/text.h"
#include "engine/verify.h"
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

// Applies the changes at their entries, whatever has been read ahead by then.
class ChangingHost : public test::RecordingHost {
 public:
  ChangingHost(fs::path folder, std::vector<Change> changes) : folder_(std::move(folder)), changes_(std::move(changes)) {}
  void show_progress(const std::string& text) override {
    RecordingHost::show_progress(text);
    ++entries_;
    for (const Change& change : changes_)
      if (change.at == entries_) change.apply(folder_);
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

std::string track(int i) { return "u1975_" + std::string(i < 10 ? "00" : "0") + std::to_string(i) + " - A - T.mp3"; }

void resize(const fs::path& p, std::uintmax_t size) { fs::resize_file(p, size); }

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
       fs::remove(f / track(11));
       fs::create_directory(f / track(11));
     }},
    {3, [](const fs::path& f) { resize(f / track(12), fs::file_size(f / track(12)) + 500); }},
    // The file of the entry about to be checked, after its read-ahead.
    {20, [](const fs::path& f) { resize(f / track(20), fs::file_size(f / track(20)) / 2); }},
    {25, [](const fs::path& f) { fs::remove(f / track(25)); }},
};

TEST(ReadAhead, AudioRunReportsTheSameAtEveryDepthWhileFilesChange) {
  std::string reference;
  for (int depth : {1, 4, 64}) {
    TempFolder dir;
    std::string qn;
    for (int i = 1; i <= 40; ++i) {
      // Long enough for the head and the tail to be read as two ranges.
      FakeMp3 mp3 = FakeMp3::Make(static_cast<std::size_t>(100 * i), 60 + i, i % 3 != 0, static_cast<unsigned>(i));
      dir.write(track(i), mp3.bytes);
      qn += track(i) + mp3.Fingerprint() + "\r\n";
    }
    const std::string qn_path = dir.write("Chart 1975.qn", qn);
    std::unique_ptr<ReadAheadPool> pool = depth > 1 ? std::make_unique<ReadAheadPool>(depth) : nullptr;
    ChangingHost host(dir.path(), kChanges);
    host.pool = pool.get();
    test::CollectedRun r = test::verify_audio(dir.folder(), qn_path, false, host);
    const std::string got = outcome(r, host.errors, dir.folder());
    if (depth == 1) {
      reference = got;
      EXPECT_EQ(host.errors.size(), 3u) << got;  // the vanished file, the folder, the removed checked file
      EXPECT_NE(got.find("u1975_007 FAIL"), std::string::npos) << got;
    } else {
      EXPECT_EQ(got, reference) << "depth " << depth;
    }
  }
}

}  // namespace
}  // namespace qn
