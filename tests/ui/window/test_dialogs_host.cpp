#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QTest>

#include <algorithm>

#include "ui/window/window_fixture.h"
#include "ui/window/window_host.h"

using qn::test::app;
using qn::test::FakeServices;
using qn::test::TempFolder;

TEST(ChecksumFileDialog, OpensInTheFolderWithTheTitleAndOneFilterMatchingAnyLetterCase) {
  app();
  TempFolder folder;
  folder.write("a.qn");
  folder.write("B.QN");
  folder.write("c.txt");
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
        return names.size() >= 2;
      }(),
      5000);
  EXPECT_EQ(names, (QStringList{"B.QN", "a.qn"}));
  dialog.reject();
}

TEST(WindowHost, ReadsTheId3BoxesAtEachAskAndShowsProgressAndErrors) {
  app();
  QWidget owner;
  auto* progress = new QLabel(&owner);
  auto* v1 = new QCheckBox(&owner);
  auto* v2 = new QCheckBox(&owner);
  v1->setChecked(true);
  FakeServices services;
  qn::WindowHost host(&owner, progress, v1, v2, services);

  EXPECT_TRUE(host.include_id3v1());
  EXPECT_FALSE(host.include_id3v2());
  v1->setCheckState(Qt::PartiallyChecked);
  v2->setChecked(true);
  EXPECT_FALSE(host.include_id3v1()) << "only a ticked box counts";
  EXPECT_TRUE(host.include_id3v2());

  host.enable_id3_options(false);
  EXPECT_FALSE(v1->isEnabled());
  EXPECT_FALSE(v2->isEnabled());

  host.show_progress("/music/u1964_001 - A - T.mp3");
  EXPECT_EQ(progress->text(), "/music/u1964_001 - A - T.mp3");

  host.set_busy(true);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  host.show_error(2, "No such file or directory", "u1964_001 - A - T.mp3ABZ1");
  ASSERT_EQ(services.error_texts.size(), 1u);
  EXPECT_EQ(services.error_titles[0], "Quarnell Verify");
  EXPECT_EQ(services.error_texts[0], "2 No such file or directory\r\nu1964_001 - A - T.mp3ABZ1");
  EXPECT_NE(QApplication::overrideCursor(), nullptr) << "busy again after the box";
  host.set_busy(false);
  host.set_busy(false);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(WindowHost, GivesTheCursorBackWhenARunEndsBusy) {
  app();
  QWidget owner;
  QLabel progress;
  QCheckBox v1, v2;
  FakeServices services;
  {
    qn::WindowHost host(&owner, &progress, &v1, &v2, services);
    host.set_busy(true);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
