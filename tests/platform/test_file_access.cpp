// The file-access layer against an adversary who can change the folder between any two of its
// calls, and against failures of single calls, made through the replaceable call table.
#include "platform/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <string>

#include "platform/byte_file.h"
#include "platform/output_file.h"
#include "platform/read_ahead.h"
#include "base/step_error.h"
#include "support/fixtures.h"
#include "platform/wide_text.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace qn {
namespace {

namespace fs = std::filesystem;
using platform::CreateOutcome;
using test::TempFolder;

// Puts the real call table back at the end of a test.
struct RealCallsAfterwards {
  ~RealCallsAfterwards() { platform::system_calls() = platform::real_system_calls(); }
};

TEST(FileAccess, WindowsDeviceNamesAndStreamsInAnyComponent) {
  for (const char* name : {"NUL.nfo", "aux", "Con.txt", "con .nfo", "PRN..", "com1.nfo", "LPT9", "Albums\\nul.nfo",
                           "Albums/AUX", "x.nfo:stream", "C:x.nfo", "COM0.nfo", "lpt0", "COM\xC2\xB9.nfo",
                           "LPT\xC2\xB2.nfo", "COM\xC2\xB3 .nfo", "com\xC2\xB9..."})
    EXPECT_TRUE(platform::names_windows_device(name)) << name;
  for (const char* name : {"u1964_001 - Nul - Con.nfo", "COM\xC2\xB4.nfo", "COM\xC2\xB9" "0", "LPT10", "console.nfo", "nully.nfo", "Albums/u1.nfo"})
    EXPECT_FALSE(platform::names_windows_device(name)) << name;
}

#ifndef _WIN32

// The adversary of the race: before the n-th call of the placeholder creation, it turns the
// sub-folder into a link to a folder outside and puts a link to an outside file where the
// placeholder goes.
struct Race {
  static inline int calls = 0;
  static inline int strike_at = 0;
  static inline std::function<void()> strike;
  static void tick() {
    if (++calls == strike_at && strike) strike();
  }
};

TEST(FileAccess, ALinkAppearingBetweenAnyTwoCallsNeverLeadsAWriteOutside) {
  RealCallsAfterwards restore;
  for (int strike_at = 1; strike_at <= 8; ++strike_at) {
    TempFolder outside, dir;
    const std::string victim = outside.write("victim.nfo", std::string("keep"));
    outside.make_folder("elsewhere");
    dir.make_folder("Albums");
    Race::calls = 0;
    Race::strike_at = strike_at;
    Race::strike = [&] {
      std::error_code ec;
      fs::rename(dir.path() / "Albums", dir.path() / "Albums.real", ec);
      fs::create_directory_symlink(outside.path() / "elsewhere", dir.path() / "Albums", ec);
      fs::create_symlink(victim, dir.path() / "Albums.real" / "u1970_001.nfo", ec);
      fs::create_symlink(victim, dir.path() / "u1964_001.nfo", ec);
    };
    platform::SystemCalls& calls = platform::system_calls();
    calls.open = [](const char* p, int f, mode_t m) { Race::tick(); return platform::real_system_calls().open(p, f, m); };
    calls.openat = [](int d, const char* p, int f, mode_t m) {
      Race::tick();
      return platform::real_system_calls().openat(d, p, f, m);
    };
    calls.fstatat = [](int d, const char* p, struct stat* st, int f) {
      Race::tick();
      return platform::real_system_calls().fstatat(d, p, st, f);
    };
    calls.write = [](int fd, const void* b, size_t n) { Race::tick(); return platform::real_system_calls().write(fd, b, n); };

    for (const char* name : {"Albums/u1970_001.nfo", "u1964_001.nfo"}) {
      // Refusing is right; writing outside is not.
      platform::CreateOutcome outcome{};
      (void)platform::create_new_file_beneath(dir.folder(), name, "new\r\n", outcome);
    }
    platform::system_calls() = platform::real_system_calls();
    EXPECT_EQ(test::read_file(victim), "keep") << "strike before call " << strike_at;
    EXPECT_TRUE(fs::is_empty(outside.path() / "elsewhere")) << "strike before call " << strike_at;
  }
}

TEST(FileAccess, WhatAlreadyStandsUnderThePlaceholderNameIsNeverChanged) {
  TempFolder outside, dir;
  const std::string victim = outside.write("victim.nfo", std::string("keep"));
  dir.write("listed.nfo", std::string("old content"));
  fs::create_hard_link(victim, dir.path() / "hard.nfo");
  fs::create_symlink(victim, dir.path() / "soft.nfo");
  fs::create_symlink(outside.path() / "none.nfo", dir.path() / "dangling.nfo");
  ::mkfifo((dir.path() / "fifo.nfo").c_str(), 0644);
  dir.make_folder("folder.nfo");

  const auto create = [&](const char* name) {
    CreateOutcome outcome{};
    const std::optional<platform::Error> error = platform::create_new_file_beneath(dir.folder(), name, "x", outcome);
    return error ? error->number : outcome == CreateOutcome::kCreated ? 1 : 0;
  };
  EXPECT_EQ(create("listed.nfo"), 0);
  EXPECT_EQ(create("hard.nfo"), 0);
  for (const char* name : {"soft.nfo", "dangling.nfo", "fifo.nfo", "folder.nfo"})
    EXPECT_EQ(create(name), kErrRefused) << name;
  EXPECT_EQ(test::read_file(dir.path() / "listed.nfo"), "old content");
  EXPECT_EQ(test::read_file(victim), "keep");
  EXPECT_FALSE(fs::exists(outside.path() / "none.nfo"));
  EXPECT_EQ(create("new.nfo"), 1);
}

TEST(FileAccess, OnlyRegularFilesAreReadAndNothingWaits) {
  TempFolder dir;
  ::mkfifo((dir.path() / "fifo.qn").c_str(), 0644);
  fs::create_symlink("/dev/zero", dir.path() / "zero.qn");
  dir.make_folder("folder.qn");
  std::string bytes;
  for (const char* name : {"fifo.qn", "zero.qn", "folder.qn"}) {
    const std::optional<platform::Error> error = platform::read_regular_file(dir.folder() + name, 1000, bytes);
    ASSERT_TRUE(error) << name << " was read";
    EXPECT_EQ(error->text(), "Opening the file failed: not a regular file: " + dir.folder() + name);
    EXPECT_THROW(platform::ByteFile(dir.folder() + name), StepError) << name;
  }
  // A size limit is checked before anything is read.
  const std::string big = dir.write("big.qn", std::string(1001, 'x'));
  const std::optional<platform::Error> over = platform::read_regular_file(big, 1000, bytes);
  ASSERT_TRUE(over);
  EXPECT_EQ(over->number, EFBIG);
  EXPECT_EQ(over->size, 1001u);
  EXPECT_FALSE(platform::read_regular_file(big, 1001, bytes));
  EXPECT_EQ(bytes.size(), 1001u);
}

TEST(FileAccess, CallsFailingAfterASuccessfulOpenAreReported) {
  RealCallsAfterwards restore;
  TempFolder dir;
  const std::string path = dir.write("u1.mp3", std::string(40000, 'x'));
  platform::ByteFile file(path);
  platform::system_calls().pread = [](int, void*, size_t, off_t) -> ssize_t { errno = EIO; return -1; };
  EXPECT_THROW(file.read_at(30000, 10), StepError);
  platform::system_calls().pread = platform::real_system_calls().pread;
  platform::system_calls().write = [](int, const void*, size_t) -> ssize_t { errno = ENOSPC; return -1; };
  CreateOutcome outcome{};
  const std::optional<platform::Error> unwritten = platform::create_new_file_beneath(dir.folder(), "u1.nfo", "x", outcome);
  ASSERT_TRUE(unwritten);
  EXPECT_EQ(unwritten->number, ENOSPC);
  const std::optional<platform::OutputError> failed = platform::write_file_atomically(dir.folder() + "report.txt", "x");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->number, ENOSPC);
}

// What the listing says of each kind of entry, with the kind the folder records (a stat only
// for links, to tell where they lead) and with a system that records none (a stat for every
// entry): both the same, in a held folder and outside.
struct Listed {
  static inline bool hide_types = false;
  static inline int stats = 0;
};

TEST(FileAccess, ListingTrustsTheRecordedKindAndStatsOnlyWhereItMust) {
  RealCallsAfterwards restore;
  TempFolder outside, dir;
  dir.make_file("file.mp3");
  dir.make_folder("folder.mp3");
  fs::create_directory_symlink(dir.path() / "folder.mp3", dir.path() / "to_folder.mp3");
  fs::create_symlink(dir.path() / "file.mp3", dir.path() / "to_file.mp3");
  fs::create_symlink(outside.path() / "none", dir.path() / "dangling.mp3");
  ::mkfifo((dir.path() / "fifo.mp3").c_str(), 0644);
  using T = platform::EntryType;
  const struct {
    const char* name;
    T type;
    bool leads_to_folder;
  } expected[] = {{"dangling.mp3", T::kLink, false}, {"fifo.mp3", T::kOther, false},   {"file.mp3", T::kFile, false},
                  {"folder.mp3", T::kFolder, true},  {"to_file.mp3", T::kLink, false}, {"to_folder.mp3", T::kLink, true}};
  platform::SystemCalls& calls = platform::system_calls();
  calls.readdir = [](DIR* d) {
    struct dirent* e = platform::real_system_calls().readdir(d);
    if (e && Listed::hide_types) e->d_type = DT_UNKNOWN;
    return e;
  };
  calls.fstatat = [](int d, const char* p, struct stat* st, int f) {
    ++Listed::stats;
    return platform::real_system_calls().fstatat(d, p, st, f);
  };
  for (const bool held : {false, true}) {
    std::optional<platform::HeldFolder> hold;
    if (held) hold.emplace(dir.folder());
    for (const bool hide : {false, true}) {
      Listed::hide_types = hide;
      Listed::stats = 0;
      std::vector<platform::FolderEntry> entries;
      int error = -1;
      ASSERT_TRUE(platform::list_folder(dir.folder(), entries, error));
      EXPECT_EQ(error, 0);
      std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
      ASSERT_EQ(entries.size(), std::size(expected));
      for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].type, expected[i].type) << entries[i].name << " held " << held << " hidden " << hide;
        EXPECT_EQ(entries[i].leads_to_folder, expected[i].leads_to_folder) << entries[i].name;
      }
      // One stat per link to learn where it leads, plus one per entry when the kinds are hidden.
      EXPECT_EQ(Listed::stats, 3 + (hide ? 6 : 0)) << "held " << held;
    }
  }
  // A folder reached through a link is listed only when the caller follows it, slash or none.
  for (const char* name : {"to_folder.mp3", "to_folder.mp3/"}) {
    std::vector<platform::FolderEntry> entries;
    int error = 0;
    EXPECT_FALSE(platform::list_folder(dir.folder() + name, entries, error, false)) << name;
    EXPECT_EQ(error, ELOOP) << name;
    EXPECT_TRUE(platform::list_folder(dir.folder() + name, entries, error)) << name;
  }
}

#endif

// Reading a file never stops another program from renaming or removing it (on Windows the file is
// shared for deleting too), and what is open reads on.
TEST(FileAccess, AFileBeingReadCanBeRenamedAndRemoved) {
  TempFolder dir;
  const std::string path = dir.write("u1964_001 - A - T.mp3", std::string("0123456789"));
  std::optional<platform::Error> opened;
  platform::ReadableFile file(path, opened);
  ASSERT_FALSE(opened);
  ASSERT_TRUE(fs::exists(dir.path() / "u1964_001 - A - T.mp3"));
  std::error_code ec;
  fs::rename(dir.path() / "u1964_001 - A - T.mp3", dir.path() / "moved.mp3", ec);
  EXPECT_FALSE(ec) << ec.message();
  fs::remove(dir.path() / "moved.mp3", ec);
  EXPECT_FALSE(ec) << ec.message();
  char bytes[4] = {};
  std::size_t got = 0;
  EXPECT_FALSE(file.read(2, bytes, 4, got));
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(std::string(bytes, 4), "2345");
}

// Bytes past the end read as zero, through the blocks, a loaded range and a direct read alike,
// from a file and from memory.
TEST(FileAccess, ReadsPastTheEndAreZeroFilled) {
  TempFolder dir;
  std::string bytes(3 * platform::ByteFile::kBlockSize, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  platform::ByteFile from_file(dir.write("u1.mp3", bytes));
  platform::ByteFile from_memory(std::make_unique<platform::MemorySource>("u1.mp3", bytes));
  for (platform::ByteFile* source : {&from_file, &from_memory}) {
    platform::ByteFile& file = *source;
    SCOPED_TRACE(source == &from_file ? "file" : "memory");
    const std::int64_t length = file.length();
    std::vector<std::uint8_t> storage;
    const platform::ByteRange tail{length - 100, 100};
    const struct {
      std::int64_t offset;
      std::size_t n;
      bool loaded;
    } cases[] = {{length - 3, 10, false}, {length, 5, false}, {length + 1000, 5, false},
                 {length - 100 - std::int64_t{platform::ByteFile::kBlockSize}, 2 * platform::ByteFile::kBlockSize, false}, {length - 50, 80, true}};
    for (const auto& c : cases) {
      if (c.loaded) file.load(&tail, 1, storage);
      std::vector<std::uint8_t> out(c.n, 0xEE);
      file.read_at(c.offset, out.data(), c.n);
      for (std::size_t i = 0; i < c.n; ++i) {
        const std::int64_t at = c.offset + static_cast<std::int64_t>(i);
        const std::uint8_t want = at < length ? static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(at)]) : 0;
        ASSERT_EQ(out[i], want) << "offset " << c.offset << " byte " << i;
      }
      file.unload();
    }
  }
}

// A pool whose readers were started and have nothing left to do stops when it goes; one that never
// started a reader too. The destructor runs on a thread of its own, so that a pool that never stops
// fails the test instead of hanging it (the thread and the pool are then left behind).
TEST(FileAccess, AnIdleReadAheadPoolStops) {
  TempFolder dir;
  const std::string path = dir.write("u1.mp3", std::string(1000, 'x'));
  for (const int files : {0, 3}) {
    auto* pool = new platform::ReadAheadPool(4);
    {
      platform::ReadAheadPool::Stream stream(*pool);
      for (int i = 1; i <= files; ++i)
        stream.add(static_cast<std::uint64_t>(i), path, [](std::int64_t length) { return std::vector<platform::ByteRange>{{0, length}}; });
    }
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([pool, stopped] {
      delete pool;
      stopped->set_value();
    }).detach();
    EXPECT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready) << files << " files read ahead";
  }
}

#ifdef _WIN32
// The wide paths of the file calls: the "\\?\" form only where the plain one stops, and a name
// that is not UTF-8 read in the system's 8-bit code page rather than lost.
TEST(FileAccess, WidePathsOfTheFileCalls) {
  const std::string deep = "C:\\" + std::string(150, 'a') + "/" + std::string(150, 'b');
  const std::string share = "\\\\server\\share\\" + std::string(300, 'c');
  const struct {
    std::string path;
    std::wstring wide;
  } cases[] = {
      {"C:\\music\\\xD0\x9F\xD1\x80\xD0\xB8.mp3", L"C:\\music\\\x041F\x0440\x0438.mp3"},
      {"C:\\music\\\xF0\x9F\x8E\xB5", L"C:\\music\\\xD83C\xDFB5"},
      {"C:\\music\\Caf\xE9", L"C:\\music\\Caf\x00E9"},  // Windows-1252, the code page under Wine
      {deep, L"\\\\?\\C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b')},
      {share, L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'c')},
      {"\\\\?\\C:\\" + std::string(300, 'd'), L"\\\\?\\C:\\" + std::wstring(300, L'd')},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::wide_path(c.path), c.wide) << c.path;
}
#endif

}  // namespace
}  // namespace qn
