// The read-only guarantee, end to end through qnverify: audio, label and recursive runs leave every
// file's bytes, size and modification time as they were and create nothing; --create-nfo creates
// only the missing placeholders that the checksum file lists inside the verified folder, never a
// file that a line places outside it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "cli/collection_fixture.h"
#include "cli/run_cli.h"

namespace qn {
namespace {

namespace fs = std::filesystem;
using test::Collection;
using test::FakeMp3;
using test::run_cli;

struct FileState {
  std::string bytes;
  std::uintmax_t size = 0;
  fs::file_time_type mtime;
  bool operator==(const FileState&) const = default;
};
using TreeState = std::map<std::string, FileState>;

// Every entry below root, links not followed; folders and links are recorded by name only.
void snapshot_into(const fs::path& root, const fs::path& folder, TreeState& state) {
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    const fs::file_status link = fs::symlink_status(e.path());
    const std::string relative = e.path().lexically_relative(root).string();
    if (fs::is_regular_file(link)) {
      state[relative] = {test::read_file(e.path()), fs::file_size(e.path()), fs::last_write_time(e.path())};
    } else {
      state[relative] = {};
      if (fs::is_directory(link)) snapshot_into(root, e.path(), state);
    }
  }
}

TreeState snapshot(const fs::path& root) {
  TreeState state;
  snapshot_into(root, root, state);
  return state;
}

// Sets every file's time well into the past, so a rewrite shows even within the same second.
void Age(const fs::path& root) {
  const auto past = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (fs::is_regular_file(fs::symlink_status(e.path()))) fs::last_write_time(e.path(), past);
}

// A collection with an MP3 folder (tracks, one missing, an .nfo, an Albums sub-folder), a FLAC
// folder and a label folder.
struct Fixture {
  Collection c;
  fs::path root;
  Fixture() {
    c.Audio("1964 Top", 3, 1, "Top.qn", "u1964_009 - Artist 9 - Title.nfo\r\n");
    c.File("1964 Top/u1964_001 - Artist 1 - Title.nfo", "note\r\n");
    c.File("1964 Top/Albums/uLP1964_001 - Band - Record.mp3", std::string(FakeMp3::Make(0, 4, false).bytes.size(), 'a'));
    c.File("1964 Flac/u1964_001 - A - B.flac", std::string(400, 'f'));
    c.File("1964 Flac/Flac.qn", "u1964_001 - A - B.flac0Z190Z1Z1Z1\r\nu1964_002 - C - D.flac0Z1Z1Z1Z1\r\n");
    c.Labels("1964 Labels", 3);
    root = c.root();
    Age(root);
  }
};

TEST(ReadOnlyGuarantee, AudioLabelAndRecursiveRunsChangeAndCreateNothing) {
  Fixture f;
  const TreeState before = snapshot(f.root);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{f.c.folder("1964 Top")}, {f.c.folder("1964 Flac")},
        {f.c.folder("1964 Labels")}, {"--images", f.c.folder("1964 Labels")},
        {"-r", f.root.string()}, {"-r", "--json", "-j", "2", f.root.string()}}) {
    test::CliRun run = run_cli(args);
    EXPECT_NE(run.status, 64) << args.back() << "\n" << run.err;
    EXPECT_FALSE(run.out.empty()) << args.back();
    EXPECT_EQ(snapshot(f.root), before) << "after qnverify " << args.front() << " " << args.back();
  }
}

TEST(ReadOnlyGuarantee, CreateNfoCreatesOnlyTheListedPlaceholdersInsideTheFolder) {
  Fixture f;
  const fs::path outside = f.root.parent_path();
  const std::string tag = "qn-escape-" + fs::path(f.root).filename().string();
  // Lines that would put a placeholder outside the folder, with either separator.
  const std::string hostile = "..\\" + tag + "-1.nfo\r\n../" + tag + "-2.nfo\r\nsub\\..\\..\\" + tag +
                              "-3.nfo\r\nsub/../../" + tag + "-4.nfo\r\n" + (outside / (tag + "-5.nfo")).string() +
                              "\r\n\\" + tag + "-6.nfo\r\nC:\\" + tag + "-7.nfo\r\n..\r\n";
  f.c.File("1964 Top/Top.qn", test::read_file(f.root / "1964 Top" / "Top.qn") + hostile);
  Age(f.root);
  TreeState expected = snapshot(f.root);

  test::CliRun run = run_cli({"--create-nfo", f.c.folder("1964 Top")});
  EXPECT_NE(run.out.find("u1964_009 OK Placeholder"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("refused"), std::string::npos) << run.err;

  TreeState after = snapshot(f.root);
  const std::string placeholder = (fs::path("1964 Top") / "u1964_009 - Artist 9 - Title.nfo").string();
  ASSERT_EQ(after.count(placeholder), 1u);
  EXPECT_EQ(after[placeholder].bytes, "u1964_009 - Artist 9 - Title.nfo\r\n");
  after.erase(placeholder);
  EXPECT_EQ(after, expected) << "only the listed placeholder is new";
  for (int i = 1; i <= 7; ++i) {
    const std::string name = tag + "-" + std::to_string(i) + ".nfo";
    EXPECT_FALSE(fs::exists(outside / name)) << name;
    EXPECT_FALSE(fs::exists(fs::path("/") / name)) << name;
    EXPECT_FALSE(fs::exists(fs::current_path() / name)) << name;
  }

  // The recursive run with --create-nfo: the placeholder exists now, so nothing more is created.
  expected = snapshot(f.root);
  run = run_cli({"-r", "--create-nfo", f.root.string()});
  EXPECT_EQ(snapshot(f.root), expected) << run.err;
}

TEST(ReadOnlyGuarantee, RecursiveCreateNfoWritesOnlyIntoEachVerifiedFolder) {
  Fixture f;
  f.c.File("1964 Flac/Flac.qn", "u1964_001 - A - B.flac0Z190Z1Z1Z1\r\nu1964_003 - E - F.flac.nfo\r\n");
  Age(f.root);
  TreeState expected = snapshot(f.root);
  test::CliRun run = run_cli({"-r", "--create-nfo", f.root.string()});
  TreeState after = snapshot(f.root);
  for (const std::string created : {"1964 Top/u1964_009 - Artist 9 - Title.nfo", "1964 Flac/u1964_003 - E - F.flac.nfo"}) {
    const std::string key = fs::path(created).make_preferred().string();
    EXPECT_EQ(after.count(key), 1u) << key << "\n" << run.out << run.err;
    after.erase(key);
  }
  EXPECT_EQ(after, expected);
}

#ifndef _WIN32
TEST(ReadOnlyGuarantee, RecursiveRunOverLinkLoopsVerifiesEachFolderOnce) {
  Fixture f;
  std::error_code ec;
  fs::create_directory_symlink(f.root, f.root / "1964 Top" / "Albums" / "back to the top", ec);
  if (ec) GTEST_SKIP() << "symbolic links not available: " << ec.message();
  fs::create_directory_symlink(f.root / "loop b", f.root / "loop a");
  fs::create_directory_symlink(f.root / "loop a", f.root / "loop b");
  fs::create_directory_symlink(f.root / "1964 Labels", f.root / "labels again");
  const TreeState before = snapshot(f.root);
  test::CliRun run = run_cli({"-r", f.root.string()});
  std::size_t reports = 0;
  for (std::size_t at = 0; (at = run.out.find("Folder Processed ", at)) != std::string::npos; ++at) ++reports;
  EXPECT_EQ(reports, 3u) << run.out << run.err;
  EXPECT_EQ(snapshot(f.root), before);
}
#endif

}  // namespace
}  // namespace qn
