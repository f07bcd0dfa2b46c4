#include <gtest/gtest.h>

#include "cli/progress.h"

namespace qn {
namespace {

TEST(Progress, ShowsFoldersFilesElapsedAndAnEstimateOnceAFolderIsDone) {
  EXPECT_EQ(cli::progress_text(0, 10, 0, 1.2), "qnverify: 0/10 folders, 0 files checked, 0:01 elapsed");
  EXPECT_EQ(cli::progress_text(2, 10, 400, 30), "qnverify: 2/10 folders, 400 files checked, 0:30 elapsed, about 2:00 left");
  EXPECT_EQ(cli::clock_text(3723), "1:02:03");
}

}  // namespace
}  // namespace qn
