#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "ui/window/qt/form1_window.h"
#include "ui/window/qt/report_view.h"
#include "ui/window/window_fixture.h"

using qn::test::app;
using qn::test::TempFolder;

TEST(ChecksumFileDialog, OpensInTheFolderWithTheTitleAndOneFilterMatchingAnyLetterCase) {
  app();
  TempFolder folder;
  folder.write("a.qn");
  folder.write("B.QN");
  folder.write("c.txt");
  const QString long_name = QStringLiteral("Quarnell 1964 Top 40 of the Year - second pressing, corrected.qn");
  folder.write(long_name.toStdString());
  QFileDialog dialog;
  qn::configure_checksum_file_dialog(dialog, qn::kPickChecksumPrompt, folder.text());
  EXPECT_EQ(dialog.windowTitle(), "More the one .qn checksum file detected - Please select file to process");
  EXPECT_EQ(dialog.nameFilters(), QStringList{"Quarnell Checksum Files (*.qn)"});
  EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog.directory().absolutePath(), QString::fromStdString(folder.path().string()));

  // What the dialog lists once its model has read the folder.
  dialog.show();
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  QModelIndex root = model->index(QString::fromStdString(folder.path().string()));
  QStringList names;
  QTRY_VERIFY_WITH_TIMEOUT(
      [&] {
        names.clear();
        for (int r = 0; r < model->rowCount(root); ++r) names << model->index(r, 0, root).data().toString();
        names.sort();
        return names.size() >= 3;
      }(),
      5000);
  EXPECT_EQ(names, (QStringList{"B.QN", long_name, "a.qn"}));
  // Whole names: the name column is as wide as the longest name.
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(view->columnWidth(0) > view->fontMetrics().horizontalAdvance(long_name), 5000);
  dialog.reject();
}

#ifndef _WIN32
namespace {

// The desktop as it is, but for the report's place and the registration.
class ScratchDesktop : public qn::DesktopServices {
 public:
  explicit ScratchDesktop(std::string report) : report_(std::move(report)) {}
  std::string report_path() override { return report_; }
  void register_shell(const std::string&) override {}

 private:
  std::string report_;
};

}  // namespace

// The desktop's opener is a stub on PATH: one that fails (as xdg-open does without a text viewer),
// one that succeeds, and one that stays (the viewer run in its place) all leave the report seen.
TEST(DesktopOpener, AFailingOpenerLeavesTheReportToTheWindowsOwnView) {
  app();
  TempFolder scratch;
  std::string folder = scratch.copy_sample("Quarnell 1964 Top 6");
  std::filesystem::path bin = scratch.path() / "bin";
  std::filesystem::create_directories(bin);
  const std::string old_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (bin.string() + ":" + old_path).c_str(), 1);
  struct Case { const char* script; bool own_view; };
  for (const Case& c : {Case{"exit 4", true}, Case{"exit 0", false}, Case{"sleep 3", false}}) {
    scratch.write("bin/xdg-open", std::string("#!/bin/sh\n") + c.script + "\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    ScratchDesktop services(scratch.text() + "Quarnell Verify.txt");
    qn::Form1Window form(services);
    form.Form_Load(folder + "x.mp3");
    bool own_view = form.report_view() != nullptr && form.report_view()->isVisible();
    EXPECT_EQ(own_view, c.own_view) << c.script;
  }
  setenv("PATH", old_path.c_str(), 1);
}
#endif

TEST(ReportView, ShadesARetagMilderThanDamage) {
  struct Case {
    const char* line;
    int mark;
  } cases[] = {
      {"u1964_003 OK ID3v1 Fails ID3v2 OK", 3},
      {"u1964_004 FAIL (Length of Audio Error) ID3v1 Fails ID3v2 OK", 2},
      {"u1964_005 OK ID3v1 Fails ID3v2 OK content FAIL (frame 3: bad CRC)", 2},
      {"u1964_006 MISSING mp3 file", 1},
      {"u1964_002 OK ID3v1 OK ID3v2 OK", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(qn::report_line_mark(QString::fromLatin1(c.line)), c.mark) << c.line;
}
