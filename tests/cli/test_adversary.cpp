// qnverify against someone who can put any file, name or link into a collection folder: closed
// and failing standard streams, FIFOs and devices named like checksum files, links out of the
// folder, unreadable folders, names that carry line breaks and terminal codes, and report paths
// that name what the run reads.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cli/collection_fixture.h"
#include "cli/collection_run.h"
#include "cli/qnverify_app.h"
#include "cli/run_cli.h"
#include "platform/file_access.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::Collection;
using test::quote;
using test::run_cli;
using test::TempFolder;

#ifndef _WIN32

// qnverify through the shell with the standard streams as `redirects` sets them (standard error
// still collected unless the redirects close it), after `prefix` (a command that runs it).
CliRun run_shell(const std::vector<std::string>& args, const std::string& redirects, const std::string& prefix = "") {
  static int counter = 0;
  const fs::path err = fs::temp_directory_path() / ("qnverify-adv-" + std::to_string(::getpid()) + "-" +
                                                    std::to_string(++counter) + ".err");
  std::string command = prefix + quote(QNVERIFY_PATH);
  for (const std::string& a : args) command += " " + quote(a);
  command += " 2>" + quote(err.string()) + " </dev/null " + redirects;
  const int raw = std::system(("timeout 60 " + command).c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.err = test::read_file(err);
  fs::remove(err);
  return run;
}

TEST(Adversary, ClosedStandardStreamsNeverLendTheirNumbersToAPlaceholder) {
  Collection c;
  for (const char* folder : {"a", "b", "c", "d", "e"})
    c.Audio(folder, 1, 0, "c.qn", "u1964_101 - A - B.nfo\r\nu1964_102 - A - B.nfo\r\n");
  run_shell({"-r", "--create-nfo", "-j4", c.root()}, ">&- 2>&-");
  for (const char* folder : {"a", "b", "c", "d", "e"})
    for (const char* name : {"u1964_101 - A - B.nfo", "u1964_102 - A - B.nfo"})
      EXPECT_EQ(test::read_file(fs::path(c.folder(folder)) / name), std::string(name) + "\r\n") << folder;
}

TEST(Adversary, APlaceholderThatIsALinkOrAFifoIsNeitherFollowedNorTakenAsPresent) {
  for (const bool fifo : {false, true}) {
    Collection c;
    c.Audio("a", 1, 0, "c.qn", "u1964_101 - A - B.nfo\r\n");
    c.File("outside", "keep me");
    const fs::path placeholder = fs::path(c.folder("a")) / "u1964_101 - A - B.nfo";
    if (fifo) ASSERT_EQ(::mkfifo(placeholder.c_str(), 0644), 0);
    else fs::create_symlink(fs::path(c.root()) / "outside", placeholder);
    CliRun run = run_cli({"--create-nfo", c.folder("a")});
    EXPECT_EQ(test::read_file(fs::path(c.root()) / "outside"), "keep me");
    EXPECT_NE(run.out.find("u1964_101 MISSING Placeholder file"), std::string::npos) << fifo << run.out;
    EXPECT_NE(run.err.find("link or not a regular file"), std::string::npos) << fifo << run.err;
    EXPECT_EQ(run.status & (2 | 8), 2 | 8) << fifo;
  }
}

TEST(Adversary, AFailedWriteOfStandardOutputIsAnErrorAndFlag8) {
  Collection c;
  c.Audio("a", 2);
  // A pipe whose reader has gone before the first write.
  int pipe_ends[2];
  ASSERT_EQ(::pipe(pipe_ends), 0);
  ::close(pipe_ends[0]);
  for (const std::string& redirect : {std::string(">/dev/full"), std::string(">&-"), ">&" + std::to_string(pipe_ends[1])}) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{c.folder("a")},
                                                 std::vector<std::string>{"-r", c.root()},
                                                 std::vector<std::string>{"--create", c.folder("a")},
                                                 std::vector<std::string>{"--version"}}) {
      CliRun run = run_shell(args, redirect);
      EXPECT_EQ(run.status, 8) << redirect << " " << args[0];
      EXPECT_NE(run.err.find("Writing standard output failed"), std::string::npos) << run.err;
    }
  }
  ::close(pipe_ends[1]);
  // A reader that goes away: no signal ends the run before its report file is written.
  const std::string report = (fs::path(c.root()) / "report.txt").string();
  CliRun run = run_shell({"-r", "--report", report, c.root()}, "| true");
  EXPECT_NE(test::read_file(report).find("Quarnell mp3 Verify"), std::string::npos);
}

TEST(Adversary, ChecksumFilesThatAreNoRegularFilesFailAtOnce) {
  Collection c;
  c.Audio("good", 1);
  c.Audio("fifo", 1, 0, "real.qn");
  fs::remove(fs::path(c.folder("fifo")) / "real.qn");
  ::mkfifo((fs::path(c.folder("fifo")) / "c.qn").c_str(), 0644);
  c.Audio("zero", 1, 0, "real.qn");
  fs::remove(fs::path(c.folder("zero")) / "real.qn");
  fs::create_symlink("/dev/zero", fs::path(c.folder("zero")) / "c.qn");

  // A link is never read, whatever it leads to.
  for (const auto& [folder, why] : {std::pair{"fifo", "not a regular file"}, std::pair{"zero", "links are not followed"}}) {
    CliRun one = run_cli({c.folder(folder)});
    EXPECT_EQ(one.status, 66) << folder << one.err;
    EXPECT_NE(one.err.find(why), std::string::npos) << one.err;
  }
  // The walk skips both folders: each is an error row of the summary, and nothing else.
  CliRun walk = run_cli({"-r", c.root()});
  EXPECT_EQ(walk.status & 8, 8);
  EXPECT_NE(walk.out.find("total"), std::string::npos) << "the walk reaches its summary";
  EXPECT_NE(walk.out.find(c.folder("good")), std::string::npos);
  for (const char* folder : {"fifo", "zero"}) {
    EXPECT_NE(walk.out.find("  error   " + c.folder(folder)), std::string::npos) << walk.out;
    EXPECT_EQ(walk.out.find("  mp3     " + c.folder(folder)), std::string::npos) << walk.out;
  }
}

TEST(Adversary, AnAlbumsLinkIsNotFollowedAndAnUnreadableFolderIsAnError) {
  Collection c;
  c.Audio("linked", 1);
  fs::create_directory_symlink("/", fs::path(c.folder("linked")) / "Albums");
  CliRun run = run_cli({c.folder("linked")});
  EXPECT_EQ(run.status, 8) << run.err;
  EXPECT_NE(run.err.find("is a link and is not searched"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("Additional Files Found"), std::string::npos) << "nothing from / is listed";

  // Permissions mean nothing to root: the unreadable folder is tried as an ordinary user.
  c.Audio("closed", 1, 0, "c.qn", "Albums\\u1970_001 - A - B.nfo\r\n");
  c.File("closed/Albums/u1970_001 - A - B.nfo", "x");
  fs::permissions(fs::path(c.folder("closed")) / "Albums", fs::perms::owner_write, fs::perm_options::replace);
  std::string prefix;
  if (::geteuid() == 0) {
    if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv to drop root";
    for (fs::path p = c.root(); p != p.root_path(); p = p.parent_path())
      fs::permissions(p, fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
    prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  CliRun closed = run_shell({c.folder("closed")}, ">/dev/null", prefix);
  fs::permissions(fs::path(c.folder("closed")) / "Albums", fs::perms::owner_all, fs::perm_options::replace);
  EXPECT_EQ(closed.status & 8, 8) << closed.err;
  EXPECT_NE(closed.err.find("Reading the folder failed"), std::string::npos) << closed.err;
}

TEST(Adversary, NamesCannotForgeALineOrAScreen) {
  Collection c;
  c.Audio("a", 1, 0, "c.qn", "u1964_002 - A\r\nu1964_001 OK - B.nfo\r\n");
  const std::string forged = "u1964_003 - \x1b[2K\rA - B.mp3";
  c.File("a/" + forged, "x");
  CliRun run = run_cli({c.folder("a")});
  EXPECT_NE(run.crlf().find("u1964_003 - ?[2K?A - B.mp3\r\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  // C1 and direction controls, in the report, the -q lines and JSON.
  c.File("a/u1964_004 - \xC2\x9B" "1A\xE2\x80\xAE" "3pm.mp3", "x");
  for (const auto& args : {std::vector<std::string>{c.folder("a")}, {"-q", c.folder("a")}}) {
    CliRun shown = run_cli(args);
    EXPECT_NE(shown.out.find("u1964_004 - ?1A?3pm.mp3"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("\xC2\x9B"), std::string::npos);
    EXPECT_EQ(shown.out.find('\r' + std::string("A - B")), std::string::npos) << "-q lines too";
  }
  CliRun json = run_cli({"--json", c.folder("a")});
  EXPECT_NE(json.out.find("u1964_003 - \\u001b[2K\\rA - B.mp3"), std::string::npos) << "JSON keeps the bytes";
  EXPECT_NE(json.out.find("u1964_004 - \\u009b1A\\u202e3pm.mp3"), std::string::npos) << json.out;
}

TEST(Adversary, TheReportNeverReplacesWhatTheRunReads) {
  Collection c;
  c.Audio("a", 2);
  const fs::path folder = c.folder("a");
  const std::string track = (folder / Collection::track_name(1)).string();
  fs::create_symlink(track, fs::path(c.root()) / "link.txt");
  fs::create_hard_link(folder / "c.qn", fs::path(c.root()) / "second-name.txt");
  const std::string before_qn = test::read_file(folder / "c.qn"), before_track = test::read_file(track);
  for (const fs::path& report : {folder / "c.qn", fs::path(track), fs::path(c.root()) / "link.txt",
                                 fs::path(c.root()) / "second-name.txt"}) {
    CliRun run = run_cli({"--report", report.string(), c.folder("a")});
    EXPECT_EQ(run.status, 64) << report;
    EXPECT_NE(run.err.find("--report would replace"), std::string::npos) << run.err;
    run = run_cli({"-r", "--report", report.string(), c.root()});
    EXPECT_EQ(run.status, 64) << report;
  }
  EXPECT_EQ(test::read_file(folder / "c.qn"), before_qn);
  EXPECT_EQ(test::read_file(track), before_track);
}

// What a run writes (--report, --create --output) against a link planted at the name before the
// run or while the file is written (between two of its calls): a link is replaced and never
// followed, another name of a file keeps its bytes, and a file the run reads is refused with 64.
TEST(Adversary, ALinkAtTheReportOrOutputNameIsReplacedOrRefusedNeverWrittenThrough) {
  struct Case {
    const char* name;
    bool output;       // --create --force --output, else --report
    bool while_writing;
    bool hard;
    const char* to;    // "bashrc" outside, "a" a track of the folder the run reads, "b" one of another folder
    int status;
  };
  const Case cases[] = {
      {"report, symbolic link", false, false, false, "bashrc", 0},
      {"report, hard link to a track not verified", false, false, true, "b", 0},
      {"report, hard link to a verified track, while writing", false, true, true, "a", 64},
      {"report, symbolic link, while writing", false, true, false, "bashrc", 0},
      {"output, hard link to a fingerprinted track", true, false, true, "a", 64},
      {"output, symbolic link, while writing", true, true, false, "bashrc", 0},
      {"output, hard link to a fingerprinted track, while writing", true, true, true, "a", 64},
  };
  static std::function<void()> strike;
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { platform::system_calls() = platform::real_system_calls(); }
  } restore;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Collection col;
    col.Audio("a", 2);
    col.Audio("b", 1);
    col.File("bashrc", "keep");
    const fs::path root = col.root();
    const fs::path target = std::string(c.to) == "bashrc" ? root / "bashrc" : fs::path(col.folder(c.to)) / Collection::track_name(1);
    const std::string before = test::read_file(target);
    const fs::path name = root / (c.output ? "out.qn" : "report.txt");
    auto plant = [&] {
      if (c.hard) fs::create_hard_link(target, name);
      else fs::create_symlink(target, name);
    };
    std::vector<std::string> args{"qnverify"};
    if (c.output) args.insert(args.end(), {"--create", "--force", "--output", name.string(), col.folder("a")});
    else args.insert(args.end(), {"--report", name.string(), col.folder("a")});

    int status = -1;
    if (c.while_writing) {
      // In this process, so that the new file's flush is the moment the link appears.
      strike = plant;
      platform::system_calls().fsync = [](int fd) {
        if (strike) std::exchange(strike, nullptr)();
        return platform::real_system_calls().fsync(fd);
      };
      const int saved = ::dup(1);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      status = cli::run_qnverify(args);
      ::dup2(saved, 1);
      ::close(saved);
      ::close(null);
      platform::system_calls() = platform::real_system_calls();
      EXPECT_FALSE(strike) << "the link was planted";
    } else {
      plant();
      status = run_cli(std::vector<std::string>(args.begin() + 1, args.end())).status;
    }
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(test::read_file(target), before) << "the file behind the link keeps its bytes";
    if (c.status == 0) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
      EXPECT_NE(test::read_file(name).find(c.output ? "u1964_002" : "Quarnell mp3 Verify"), std::string::npos);
    }
  }
}


// Every descriptor the program opens through the call table, checked against the files of a
// tripwire folder outside the collection; and, when armed, an attacker's move made right before
// or right after the program opens the armed name.
struct Trace {
  static inline std::vector<platform::FileIdentity> tripwire;
  static inline std::atomic<int> tripped{0};
  static inline std::string armed_name;
  static inline bool after = false;
  static inline std::function<void()> move;

  static void note(int fd) {
    struct stat st {};
    if (fd < 0 || platform::real_system_calls().fstat(fd, &st) != 0) return;
    for (const platform::FileIdentity& id : tripwire)
      if (id.device == static_cast<std::uint64_t>(st.st_dev) && id.inode == static_cast<std::uint64_t>(st.st_ino))
        ++tripped;
  }
  static void maybe_move(const char* name, bool now_after) {
    if (move && now_after == after && armed_name == name) {
      std::function<void()> once = std::move(move);
      move = nullptr;
      once();
    }
  }
  static int open(const char* path, int flags, mode_t mode) {
    const int fd = platform::real_system_calls().open(path, flags, mode);
    note(fd);
    return fd;
  }
  static int openat(int dir, const char* name, int flags, mode_t mode) {
    maybe_move(name, false);
    const int fd = platform::real_system_calls().openat(dir, name, flags, mode);
    note(fd);
    maybe_move(name, true);
    return fd;
  }
};

// The trace in place for a scope, over the tripwire folder and everything in it.
class Traced {
 public:
  explicit Traced(const fs::path& tripwire) {
    Trace::tripwire.clear();
    Trace::tripped = 0;
    for (const fs::path& p : contents(tripwire)) {
      platform::FileIdentity id;
      if (platform::file_identity(p.string(), id)) Trace::tripwire.push_back(id);
    }
    platform::FileIdentity id;
    platform::file_identity(tripwire.string(), id);
    Trace::tripwire.push_back(id);
    platform::system_calls().open = Trace::open;
    platform::system_calls().openat = Trace::openat;
  }
  ~Traced() {
    platform::system_calls() = platform::real_system_calls();
    Trace::move = nullptr;
  }
  static std::set<fs::path> contents(const fs::path& folder) {
    std::set<fs::path> found;
    for (const auto& e : fs::recursive_directory_iterator(folder)) found.insert(e.path());
    return found;
  }
};

// `-r --create-nfo` in this process: the plan's outcomes in plan order.
std::vector<ItemOutcome> run_collection(const std::string& root, const std::function<void()>& after_walk = {}) {
  std::vector<PlanItem> plan = walk_collection(root);
  if (after_walk) after_walk();
  cli::RunSettings settings;
  settings.run.create_nfo = true;
  struct Kept : cli::PlanOutput {
    std::vector<ItemOutcome> outcomes;
    void write(std::size_t, bool, const std::string&) override {}
    void take(std::size_t, ItemOutcome& outcome) override { outcomes.push_back(std::move(outcome)); }
  } kept;
  Summary summary;
  cli::run_plan(plan, settings, kept, summary);
  return std::move(kept.outcomes);
}

const char* const kPlaceholder = "u1964_101 - A - B.nfo";

// A collection with the folder "a" (one track, one placeholder line) and, outside it, a tripwire
// folder that looks just like it, with an "Albums" folder and a track of its own.
struct Swappable {
  Collection c;
  TempFolder outside;
  fs::path a = fs::path(c.root()) / "a";
  fs::path real = fs::path(c.root()) / "a.real";
  Swappable() {
    c.Audio("a", 1, 0, "c.qn", std::string(kPlaceholder) + "\r\nAlbums\\u1970_001 - A - B.mp3\r\n");
    for (const fs::path& p : Traced::contents(a)) fs::copy(p, outside.path() / p.filename());
    outside.write("Albums/u1970_001 - A - B.mp3", "tripwire");
  }
  // The folder "a" replaced by a link to the tripwire, the real one kept as "a.real".
  void swap_in_link() const {
    std::error_code ec;
    fs::rename(a, real, ec);
    fs::create_directory_symlink(outside.path(), a, ec);
  }
  void swap_back() const {
    std::error_code ec;
    fs::remove(a, ec);
    fs::rename(real, a, ec);
  }
};

TEST(Adversary, AFolderSwappedForALinkAtEachStepIsNeverListedReadOrWrittenThrough) {
  const std::string track_name = Collection::track_name(1);
  struct Case {
    const char* window;
    std::string armed_name;  // the open the move comes next to (empty: right after the walk)
    bool armed_before_walk;
    bool after;              // right after that open, else right before it
    bool track;              // the track is replaced by a link, else the folder "a"
    const char* error;       // in the error lines of "a"
    bool placeholder_made;   // in the real folder
    int ok_entries;
  } cases[] = {
      {"between the root's listing and the walk's opening of a", "a", true, false, false, "Reading the folder failed",
       false, 0},
      {"between the walk and the run", "", false, false, false, "The folder changed during the run", false, 0},
      {"right after the run opened a", "a", false, true, false, "", true, 1},
      {"between the listing of a and the opening of its track", track_name, false, false, true,
       "links are not followed", true, 0},
  };
  for (const Case& k : cases) {
    Swappable s;
    Traced traced(s.outside.path());
    const std::set<fs::path> before = Traced::contents(s.outside.path());
    std::function<void()> move = [&] { s.swap_in_link(); };
    if (k.track)
      move = [&] {
        fs::remove(s.a / track_name);
        fs::create_symlink(s.outside.path() / track_name, s.a / track_name);
      };
    auto arm = [&] {
      Trace::armed_name = k.armed_name;
      Trace::after = k.after;
      if (k.armed_name.empty()) move();
      else Trace::move = move;
    };
    if (k.armed_before_walk) arm();
    std::vector<ItemOutcome> outcomes = run_collection(s.c.root(), k.armed_before_walk ? std::function<void()>() : arm);

    std::string errors;
    int ok = 0;
    for (const ItemOutcome& outcome : outcomes) {
      errors += outcome.error_text;
      ok += static_cast<int>(outcome.result.tally.ok);
    }
    EXPECT_EQ(Trace::tripped, 0) << k.window;
    EXPECT_EQ(Traced::contents(s.outside.path()), before) << k.window;
    EXPECT_NE(errors.find(k.error), std::string::npos) << k.window << "\n" << errors;
    const fs::path real = fs::exists(s.real) ? s.real : s.a;
    EXPECT_EQ(fs::exists(real / kPlaceholder), k.placeholder_made) << k.window << "\n" << errors;
    EXPECT_EQ(ok, k.ok_entries) << k.window << "\n" << errors;
  }
}

// A link where a folder, a track or a checksum file should be: nothing behind it is listed or read.
TEST(Adversary, LinksInAFolderAreNeverReadAndASkippedFolderIsAnErrorRow) {
  struct Case {
    const char* what;
    std::function<void(const Swappable&)> make;
    const char* error;
    bool ran;
    int ok_entries;  // the track of "a", unless it is the link
  } cases[] = {
      {"an Albums link", [](const Swappable& s) { fs::create_directory_symlink(s.outside.path() / "Albums", s.a / "Albums"); },
       "is a link and is not searched", true, 1},
      {"a linked track",
       [](const Swappable& s) {
         fs::remove(s.a / Collection::track_name(1));
         fs::create_symlink(s.outside.path() / Collection::track_name(1), s.a / Collection::track_name(1));
       },
       "links are not followed", true, 0},
      {"a FIFO checksum file",
       [](const Swappable& s) {
         fs::remove(s.a / "c.qn");
         ::mkfifo((s.a / "c.qn").c_str(), 0644);
       },
       "not a regular file", false, 0},
  };
  for (const Case& k : cases) {
    Swappable s;
    k.make(s);
    Traced traced(s.outside.path());
    std::vector<ItemOutcome> outcomes = run_collection(s.c.root());
    ASSERT_EQ(outcomes.size(), 1u) << k.what;
    const ItemOutcome& a = outcomes[0];
    EXPECT_EQ(Trace::tripped, 0) << k.what;
    EXPECT_EQ(a.ran, k.ran) << k.what << "\n" << a.error_text;
    EXPECT_NE(a.error_text.find(k.error), std::string::npos) << k.what << "\n" << a.error_text;
    EXPECT_EQ(a.result.tally.ok, k.ok_entries) << k.what << "\n" << a.error_text;
  }
}

// The attacker keeps swapping "a" for a link to the tripwire and back while `-r --create-nfo`
// runs again and again: whatever each run reports, nothing outside the root is touched.
TEST(Adversary, ASwapLoopNeverReachesOutsideTheRoot) {
  Swappable s;
  Traced traced(s.outside.path());
  const std::set<fs::path> before = Traced::contents(s.outside.path());
  std::atomic<bool> stop{false};
  std::thread attacker([&] {
    while (!stop) {
      s.swap_in_link();
      s.swap_back();
    }
  });
  for (int run = 0; run < 300; ++run) {
    run_collection(s.c.root());
    std::error_code ec;
    fs::remove(s.a / kPlaceholder, ec);
    fs::remove(s.real / kPlaceholder, ec);
  }
  stop = true;
  attacker.join();
  EXPECT_EQ(Trace::tripped, 0);
  EXPECT_EQ(Traced::contents(s.outside.path()), before);
}
#endif

TEST(Adversary, TheLabelChecksumFileIsTheOneChosen) {
  Collection c;
  c.Labels("l", 2);
  c.File("l/Other Labels.qn", "u1964_009.jpg\xFF" "1\xFF" "0000\r\n");
  const std::string folder = c.folder("l");
  CliRun several = run_cli({"--images", folder});
  EXPECT_EQ(several.status, 64);
  EXPECT_NE(several.err.find("Other Labels.qn"), std::string::npos) << several.err;
  CliRun chosen = run_cli({"--images", "--qn", "Other Labels.qn", folder});
  EXPECT_NE(chosen.out.find("u1964_009.jpg <<<  MISSING"), std::string::npos) << chosen.out;
  CliRun by_path = run_cli({folder + "Set Labels.qn"});
  EXPECT_NE(by_path.out.find("u1964_001 OK"), std::string::npos) << by_path.out;
  EXPECT_EQ(by_path.out.find("u1964_009"), std::string::npos) << by_path.out;
}

}  // namespace
}  // namespace qn
