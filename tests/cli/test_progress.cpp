#include <gtest/gtest.h>

#include "cli/collection_fixture.h"
#include "cli/progress.h"
#include "cli/qnverify_app.h"
#include "cli/run_cli.h"
#include "engine/collection_run.h"
#include "platform/file_access.h"

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qn {
namespace {

TEST(Progress, ShowsFoldersFilesElapsedAndAnEstimateOnceAFolderIsDone) {
  EXPECT_EQ(cli::progress_text(0, 10, 0, 1.2), "qnverify: 0/10 folders, 0 files checked, 0:01 elapsed");
  EXPECT_EQ(cli::progress_text(2, 10, 400, 30), "qnverify: 2/10 folders, 400 files checked, 0:30 elapsed, about 2:00 left");
  EXPECT_EQ(clock_text(3723), "1:02:03");
  EXPECT_EQ(cli::fit_to_columns("qnverify: 2/10 folders", 12), "qnverify: 2");
  EXPECT_EQ(cli::fit_to_columns("qnverify: 2/10 folders", 0), "qnverify: 2/10 folders");
}

#ifndef _WIN32

// qnverify -r with standard error on a terminal of 60 columns: each drawing of the progress line
// (and each wiping) stays within 59 columns, and the last one is wiped before the tally.
TEST(Progress, FitsANarrowTerminalAndIsWipedAtTheEnd) {
  test::Collection c;
  for (const char* folder : {"A", "B", "C"}) c.Audio(folder, 2);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  struct winsize size {};
  size.ws_col = 60;
  size.ws_row = 24;
  ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
  const std::string terminal = ptsname(master);
  const std::string root = c.root();
  const pid_t child = fork();
  if (child == 0) {
    const int slave = open(terminal.c_str(), O_RDWR);
    dup2(open("/dev/null", O_WRONLY), 1);
    dup2(slave, 2);
    execl(QNVERIFY_PATH, "qnverify", "-r", root.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string shown;
  char buffer[4096];
  for (;;) {  // until the child's end closes the terminal (EIO)
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
  EXPECT_NE(shown.find("qnverify: 0/3 folders"), std::string::npos) << shown;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= shown.size(); ++i) {
    if (i < shown.size() && shown[i] != '\r' && shown[i] != '\n') continue;
    const std::string piece = shown.substr(start, i - start);
    if (piece.find(" elapsed") != std::string::npos || piece.find_first_not_of(' ') == std::string::npos) {
      EXPECT_LT(piece.size(), 60u) << piece;
    }
    start = i + 1;
  }
  const std::size_t last = shown.rfind(" elapsed");
  ASSERT_NE(last, std::string::npos);
  const std::size_t wipe = shown.find("\r ", last);
  EXPECT_LT(wipe, shown.find('\n', last)) << "the progress line is wiped before the next line";
  EXPECT_NE(shown.find("qnverify: 6 entries in 3 folders: 6 OK,"), std::string::npos) << shown;
}

// Ctrl-C in the middle of folder B (on opening its second track, which only B holds): A's report
// and tally are shown, B's run stops and is not counted, C is never begun; exit status 130.
TEST(Progress, CtrlCShowsWhatWasVerifiedAndEndsWith130) {
  test::Collection c;
  c.Audio("A", 1);
  c.Audio("B", 3);
  c.Audio("C", 1);
  test::TempFolder out;
  const std::string out_path = (out.path() / "out").string(), err_path = (out.path() / "err").string();
  const pid_t child = fork();
  if (child == 0) {  // the run in a process of its own: the handler and its flag stay there
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    platform::system_calls().openat = [](int dir, const char* name, int flags, mode_t mode) {
      if (std::string(name).find(test::Collection::track_name(2)) != std::string::npos) raise(SIGINT);
      return platform::real_system_calls().openat(dir, name, flags, mode);
    };
    platform::system_calls().open = [](const char* path, int flags, mode_t mode) {
      if (std::string(path).find(test::Collection::track_name(2)) != std::string::npos) raise(SIGINT);
      return platform::real_system_calls().open(path, flags, mode);
    };
    _exit(cli::run_qnverify({"qnverify", "-q", "-j", "1", "--io-depth", "1", "-r", c.root()}));
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(test::read_file(out_path), "qnverify: 1 entry in 1 folder: 1 OK, 0 FAIL, 0 MISSING, 0 additional, 0 errors\n");
  EXPECT_NE(test::read_file(err_path).find("qnverify: interrupted"), std::string::npos);
}

#endif

}  // namespace
}  // namespace qn
