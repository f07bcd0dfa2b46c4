// The writer of the files a user names (reports, --output, settings) against links planted at the
// name, before it starts or between two of its calls, and against calls that fail.
#include "platform/output_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "support/fixtures.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

#ifndef _WIN32

struct RealCallsAfterwards {
  ~RealCallsAfterwards() { platform::system_calls() = platform::real_system_calls(); }
};

// What the adversary does before the flush of the new file, or after the last check (just before
// the rename).
std::function<void()> g_strike;

int fsync_after_strike(int fd) {
  if (g_strike) std::exchange(g_strike, nullptr)();
  return platform::real_system_calls().fsync(fd);
}

int renameat_after_strike(int from_dir, const char* from, int to_dir, const char* to, bool exclusive) {
  if (g_strike) std::exchange(g_strike, nullptr)();
  return platform::real_system_calls().renameat(from_dir, from, to_dir, to, exclusive);
}

TEST(OutputFile, ALinkAtTheNameIsReplacedUnlessItIsAFileTheRunReads) {
  RealCallsAfterwards restore;
  enum When { kBeforeStart, kWhileWriting, kBeforeRename };
  struct Case {
    const char* name;
    When when;
    bool hard;           // a hard link, else a symbolic one
    bool to_read_file;   // to the file the run reads, else to one outside
    bool refused;
  };
  const Case cases[] = {
      {"symbolic link, planted before", kBeforeStart, false, false, false},
      {"hard link to an outside file, planted before", kBeforeStart, true, false, false},
      {"hard link to a read file, planted before", kBeforeStart, true, true, true},
      {"symbolic link to a read file, planted while writing", kWhileWriting, false, true, false},
      {"hard link to an outside file, planted while writing", kWhileWriting, true, false, false},
      {"hard link to a read file, planted while writing", kWhileWriting, true, true, true},
      // Past the last look the rename still replaces only the name: the file keeps its bytes.
      {"hard link to a read file, planted just before the rename", kBeforeRename, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir, outside;
    const std::string track = dir.write("u1964_001 - A - B.mp3", std::string("track bytes"));
    const std::string victim = outside.write(".bashrc", std::string("keep"));
    const std::string target = c.to_read_file ? track : victim;
    platform::FileIdentity read_file;
    ASSERT_TRUE(platform::file_identity(track, read_file));
    const std::string report = (outside.path() / "report.txt").string();
    auto plant = [&] {
      if (c.hard) fs::create_hard_link(target, report);
      else fs::create_symlink(target, report);
    };
    if (c.when == kBeforeStart) plant();
    else g_strike = plant;
    if (c.when == kWhileWriting) platform::system_calls().fsync = fsync_after_strike;
    if (c.when == kBeforeRename) platform::system_calls().renameat = renameat_after_strike;

    platform::OutputRules rules;
    rules.kept = {&read_file, 1};
    const std::optional<platform::OutputError> failed = platform::write_file_atomically(report, "the report", rules);
    platform::system_calls() = platform::real_system_calls();
    EXPECT_FALSE(g_strike) << "the link was planted";
    EXPECT_EQ(test::read_file(track), "track bytes");
    EXPECT_EQ(test::read_file(victim), "keep");
    EXPECT_EQ(failed.has_value(), c.refused);
    if (failed) {
      EXPECT_TRUE(failed->kept_file) << failed->description;
    }
    if (!c.refused) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(report)));
      EXPECT_EQ(test::read_file(report), "the report");
    }
    EXPECT_EQ(outside.names(), (std::set<std::string>{".bashrc", "report.txt"})) << "no temporary file is left";
  }
}

int g_writes = 0;

// Each call of the write failing in turn: the error names it, the old file keeps its bytes and no
// temporary file is left. Written in pieces, a failed piece removes the temporary file at once and
// ends the writing; a file dropped without commit leaves nothing either.
TEST(OutputFile, AFailingCallLeavesTheOldFileAndNoTemporaryOne) {
  RealCallsAfterwards restore;
  struct Case {
    const char* name;
    std::function<void(platform::SystemCalls&)> fail;
    int number;     // 0: nothing fails
    int pieces = 0;  // appended one by one; 0: write_file_atomically
    bool commit = true;
  };
  const Case cases[] = {
      {"create", [](auto& calls) { calls.openat = [](int, const char*, int, mode_t) { errno = EACCES; return -1; }; }, EACCES},
      {"write", [](auto& calls) { calls.write = [](int, const void*, size_t) -> ssize_t { errno = ENOSPC; return -1; }; }, ENOSPC},
      {"short write", [](auto& calls) { calls.write = [](int, const void*, size_t) -> ssize_t { return 0; }; }, EIO},
      {"flush", [](auto& calls) { calls.fsync = [](int) { errno = EIO; return -1; }; }, EIO},
      {"rename", [](auto& calls) {
         calls.renameat = [](int, const char*, int, const char*, bool) { errno = EXDEV; return -1; };
       }, EXDEV},
      {"write of the second piece", [](auto& calls) {
         calls.write = [](int fd, const void* bytes, size_t n) -> ssize_t {
           if (++g_writes == 1) return platform::real_system_calls().write(fd, bytes, n);
           errno = ENOSPC;
           return -1;
         };
       }, ENOSPC, 3},
      {"flush after pieces", [](auto& calls) { calls.fsync = [](int) { errno = EIO; return -1; }; }, EIO, 2},
      {"dropped without commit", [](auto&) {}, 0, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    const std::string report = dir.write("report.txt", std::string("old report"));
    g_writes = 0;
    c.fail(platform::system_calls());
    std::optional<platform::OutputError> failed;
    if (c.pieces == 0) {
      failed = platform::write_file_atomically(report, "new report");
    } else {
      platform::NewFileInPlace file(report);
      for (int i = 0; i < c.pieces; ++i) {
        if (!file.append("new ")) {
          EXPECT_EQ(dir.names(), std::set<std::string>{"report.txt"}) << "removed at once";
        }
      }
      if (c.commit) failed = file.commit();
    }
    platform::system_calls() = platform::real_system_calls();
    EXPECT_EQ(failed.has_value(), c.number != 0);
    if (failed) {
      EXPECT_EQ(failed->number, c.number) << failed->description;
    }
    if (c.pieces > 0 && c.number == ENOSPC) {
      EXPECT_EQ(g_writes, 2) << "nothing is written after a failed piece";
    }
    EXPECT_EQ(test::read_file(report), "old report");
    EXPECT_EQ(dir.names(), std::set<std::string>{"report.txt"});
  }
}

#endif

}  // namespace
}  // namespace qn
