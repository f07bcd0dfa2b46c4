#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

#include "base/paths.h"
#include "ui/window/form1.h"
#include "ui/window/window_fixture.h"

namespace fs = std::filesystem;
using qn::test::app;
using qn::test::FakeServices;
using qn::test::read_file;
using qn::test::TempFolder;

namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    app();
    services.report_file = reports.text() + "Quarnell Verify.txt";
    form = std::make_unique<qn::Form1>(services);
  }

  template <typename T>
  T* find_child(const char* name) {
    T* child = form->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QLabel* Label1() { return find_child<QLabel>("Label1"); }
  QCheckBox* check_box(const char* name) { return find_child<QCheckBox>(name); }
  QPushButton* button(const char* name) { return find_child<QPushButton>(name); }
  void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
  std::string report() { return read_file(services.report_file); }

  FakeServices services;
  TempFolder reports;
  std::unique_ptr<qn::Form1> form;
};

const char* const kMp3Sample = "Quarnell 1964 Top 6";
const char* const kFlacSample = "Quarnell 1964 FLAC";

}  // namespace

TEST_F(WindowTest, StartsWithItsControlsTextsAndStates) {
  EXPECT_EQ(form->objectName(), "Form1");
  EXPECT_EQ(form->windowTitle(), "Quarnell Verify 2.1 Rev37");
  EXPECT_EQ(form->size(), QSize(405, 164));
  EXPECT_EQ(Label1()->text(), "Browse to mp3 or flac Folder");

  struct Box { const char* name; const char* label; const char* text; const char* tip; bool checked; };
  for (const Box& b : {Box{"Check1", "Label2", "ID3v1", "Include ID3v1", true},
                       Box{"Check2", "Label3", "ID3v2", "Include ID3v2", true},
                       Box{"chkNfo", "Label4", ".NFO", "Automatically Create Missing .nfo Files", true},
                       Box{"Check3", "Label5", "Images", "Select/DeSelect Images", false}}) {
    QCheckBox* box = this->check_box(b.name);
    EXPECT_TRUE(box->text().isEmpty()) << b.name;
    EXPECT_EQ(box->isChecked(), b.checked) << b.name;
    EXPECT_TRUE(box->isEnabled()) << b.name;
    EXPECT_EQ(box->toolTip(), b.tip) << b.name;
    EXPECT_EQ(find_child<QLabel>(b.label)->text(), b.text) << b.label;
    EXPECT_EQ(find_child<QLabel>(b.label)->toolTip(), b.tip) << b.label;
  }
  EXPECT_EQ(button("btnBrowse")->text(), "Browse");
  EXPECT_TRUE(button("btnBrowse")->isEnabled());
  EXPECT_EQ(button("btnVerify")->text(), "Verify");
  EXPECT_FALSE(button("btnVerify")->isEnabled());

  QLabel* banner = find_child<QLabel>("Image1");
  EXPECT_EQ(banner->geometry(), QRect(24, 8, 360, 48));
  EXPECT_EQ(banner->pixmap().size(), QSize(360, 48)) << "the banner resource is built in";
  EXPECT_EQ(button("btnVerify")->geometry(), QRect(288, 113, 73, 25));

  // Tab order: Browse first, then Verify and the boxes in their fixed order.
  QWidget* w = button("btnBrowse");
  std::vector<QString> order;
  for (int i = 0; i < 6; ++i, w = w->nextInFocusChain()) {
    while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
    order.push_back(w->objectName());
  }
  EXPECT_EQ(order, (std::vector<QString>{"btnBrowse", "btnVerify", "Check1", "Check2", "chkNfo", "Check3"}));
}

TEST_F(WindowTest, Check3TogglesImagesModeAndBackKeepingTheBoxStates) {
  check_box("Check2")->setChecked(false);
  QTest::mouseClick(check_box("Check3"), Qt::LeftButton);
  EXPECT_EQ(Label1()->text(), "Browse to Label Folder");
  for (const char* name : {"Check1", "Check2", "chkNfo"}) EXPECT_FALSE(check_box(name)->isEnabled()) << name;
  EXPECT_TRUE(find_child<QLabel>("Label2")->isEnabled());

  QTest::mouseClick(check_box("Check3"), Qt::LeftButton);
  EXPECT_EQ(Label1()->text(), "Browse to mp3 or flac Folder");
  for (const char* name : {"Check1", "Check2", "chkNfo"}) EXPECT_TRUE(check_box(name)->isEnabled()) << name;
  EXPECT_TRUE(check_box("Check1")->isChecked());
  EXPECT_FALSE(check_box("Check2")->isChecked());
  EXPECT_TRUE(check_box("chkNfo")->isChecked());
}

TEST_F(WindowTest, GreyedCheck3ChangesNothingAndBrowseThenShowsNoDialog) {
  Label1()->setText("kept");
  check_box("Check3")->setCheckState(Qt::PartiallyChecked);
  EXPECT_EQ(Label1()->text(), "kept");
  EXPECT_TRUE(check_box("Check1")->isEnabled());
  click("btnBrowse");
  EXPECT_TRUE(services.browse_prompts.empty());
}

TEST_F(WindowTest, ChangingModeAfterBrowseDisablesVerifySinceTheFolderIsGone) {
  TempFolder folder;
  folder.write("a.qn");
  services.folder_answer = folder.path().string();
  click("btnBrowse");
  ASSERT_TRUE(button("btnVerify")->isEnabled());
  QTest::mouseClick(check_box("Check3"), Qt::LeftButton);
  EXPECT_FALSE(button("btnVerify")->isEnabled());
  EXPECT_EQ(qn::file_count(form->checksum_files()), 1) << "the checksum-file list is kept";
}

TEST_F(WindowTest, BrowseWithOneChecksumFileShowsTheFolderAndEnablesVerify) {
  TempFolder folder;
  std::string qn_file = folder.write("Chart.QN");
  folder.write("sub/Other.qn");
  services.folder_answer = folder.path().string();
  click("btnBrowse");
  EXPECT_EQ(services.browse_prompts, std::vector<std::string>{"Containing Quarnell .qn file for mp3's/flacs:"});
  EXPECT_TRUE(services.pick_prompts.empty());
  EXPECT_EQ(Label1()->text().toStdString(), folder.text());
  EXPECT_TRUE(button("btnVerify")->isEnabled());
  ASSERT_EQ(qn::file_count(form->checksum_files()), 1);
  EXPECT_EQ(form->checksum_files()[1], qn_file);
}

TEST_F(WindowTest, BrowseInImagesModeAsksForTheLabelFolder) {
  QTest::mouseClick(check_box("Check3"), Qt::LeftButton);
  services.folder_answer = "";
  click("btnBrowse");
  EXPECT_EQ(services.browse_prompts, std::vector<std::string>{"Containing Quarnell .qn file for images:"});
  EXPECT_EQ(Label1()->text(), "Browse to Label Folder") << "a cancelled browse changes nothing";
}

TEST_F(WindowTest, BrowseWithoutChecksumFileSaysSoAndDisablesVerify) {
  TempFolder good, empty;
  good.write("a.qn");
  services.folder_answer = good.path().string();
  click("btnBrowse");
  ASSERT_TRUE(button("btnVerify")->isEnabled());

  empty.write("sub/only-below.qn");
  services.folder_answer = empty.path().string();
  click("btnBrowse");
  EXPECT_EQ(Label1()->text().toStdString(), "No .qn file found in " + empty.path().string());
  EXPECT_FALSE(button("btnVerify")->isEnabled());
  EXPECT_EQ(qn::file_count(form->checksum_files()), 0);
}

TEST_F(WindowTest, BrowseWithTwoChecksumFilesUsesThePickedOne) {
  TempFolder folder;
  folder.write("a.qn");
  std::string b = folder.write("b.qn");
  services.folder_answer = folder.path().string();
  // Only the picked name counts, whichever folder the dialog was in.
  services.pick_answer = "/elsewhere/b.qn";
  click("btnBrowse");
  EXPECT_EQ(services.pick_prompts,
            std::vector<std::string>{"More the one .qn checksum file detected - Please select file to process"});
  EXPECT_EQ(services.pick_folders, std::vector<std::string>{folder.path().string()});
  ASSERT_EQ(qn::file_count(form->checksum_files()), 1);
  EXPECT_EQ(form->checksum_files()[1], b);
  EXPECT_EQ(Label1()->text().toStdString(), folder.text());
  EXPECT_EQ(services.ended, 0);
}

TEST_F(WindowTest, BrowseWithTwoChecksumFilesEndsTheProgramWhenThePickFails) {
  TempFolder folder;
  folder.write("a.qn");
  folder.write("b.qn");
  services.folder_answer = folder.path().string();
  services.pick_answer = "";
  click("btnBrowse");
  EXPECT_EQ(services.ended, 1);
  services.pick_answer = "/elsewhere/c.qn";
  click("btnBrowse");
  EXPECT_EQ(services.ended, 2) << "a picked name missing from the folder ends it too";
}

TEST_F(WindowTest, StartWithoutArgumentRegistersAndWaits) {
  form->Form_Load("");
  EXPECT_EQ(services.registrations, std::vector<std::string>{""});
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(button("btnVerify")->isEnabled());
  EXPECT_TRUE(services.opened_reports.empty());
}

TEST_F(WindowTest, CommandLineStartRunsAtOnceAndWritesTheReport) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  form->Form_Load(folder + "u1964_002 - The Marlow Set - Paper Kites.mp3");

  EXPECT_TRUE(services.registrations.empty());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(button("btnVerify")->isEnabled());
  EXPECT_FALSE(check_box("Check3")->isChecked());
  EXPECT_EQ(services.opened_reports, std::vector<std::string>{services.report_file});
  std::string text = report();
  EXPECT_NE(text.find("Rev37"), std::string::npos);
  EXPECT_NE(text.find("u1964_001 OK"), std::string::npos) << text;
  EXPECT_NE(text.find("u1964_099 - Extra - Track.mp3"), std::string::npos) << "additional file listed";
  EXPECT_TRUE(fs::exists(folder + "u1964_002 - The Marlow Set - Paper Kites.nfo")) << ".nfo box is checked";
  EXPECT_EQ(Label1()->text().toStdString(), folder) << "the folder is back after the progress texts";
  EXPECT_FALSE(form->running());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, VerifyCanBeRunAgainOnTheSameFolder) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  form->Form_Load(folder + "x.mp3");
  std::string first = report();
  fs::remove(services.report_file);
  click("btnVerify");
  EXPECT_EQ(services.opened_reports.size(), 2u);
  // Identical but for the time of day in the head.
  EXPECT_EQ(report().size(), first.size());
  EXPECT_NE(report().find("u1964_005"), std::string::npos);
}

TEST_F(WindowTest, CommandLineStartWithAFolderUsesThatFolder) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  folder.pop_back();
  form->Form_Load(folder);
  EXPECT_EQ(Label1()->text().toStdString(), folder + qn::kSep);
  EXPECT_EQ(services.opened_reports.size(), 1u);
}

TEST_F(WindowTest, CommandLineStartOnAFlacFolderLeavesTheId3BoxesDisabled) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kFlacSample);
  form->Form_Load(folder + "Quarnell 1964 FLAC.qn");
  EXPECT_FALSE(check_box("Check1")->isEnabled());
  EXPECT_FALSE(check_box("Check2")->isEnabled());
  EXPECT_NE(report().find("u1964_001 mono  OK"), std::string::npos) << report();
}

TEST_F(WindowTest, CommandLineStartWithLabelsChecksumFileRunsTheLabelRun) {
  TempFolder folder;
  folder.write("Chart Labels.qn", "u1964_001.jpg 400 0AF5\r\n");
  form->Form_Load(folder.text() + "u1964_001.jpg");
  EXPECT_TRUE(check_box("Check3")->isChecked());
  EXPECT_FALSE(check_box("Check1")->isEnabled());
  EXPECT_EQ(Label1()->text().toStdString(), folder.text());
  EXPECT_TRUE(button("btnVerify")->isEnabled());
  EXPECT_EQ(report().rfind("Quarnell Label Verify Rev37", 0), 0u) << report();
  EXPECT_EQ(Label1()->text().toStdString(), folder.text());
}

TEST_F(WindowTest, LabelsNameInAnotherLetterCaseStaysInAudioMode) {
  TempFolder folder;
  folder.write("chart labels.qn", "u1964_001 - A - T.nfo\r\n");
  check_box("chkNfo")->setChecked(false);
  form->Form_Load(folder.text() + "x.jpg");
  EXPECT_FALSE(check_box("Check3")->isChecked());
  EXPECT_NE(report().find("No Quarnell audio files found"), std::string::npos) << report();
}

TEST_F(WindowTest, CommandLineStartWithoutChecksumFileOnlySaysSo) {
  TempFolder folder;
  // Quote marks are kept, so the folder text begins with one and names nothing.
  folder.write("a.qn");
  form->Form_Load("\"" + folder.text() + "x.mp3\"");
  EXPECT_EQ(Label1()->text().toStdString(), "No .qn file found in \"" + folder.text());
  EXPECT_FALSE(button("btnVerify")->isEnabled());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(services.opened_reports.empty());
  EXPECT_TRUE(services.registrations.empty());
}

TEST_F(WindowTest, CommandLineStartWithTwoChecksumFilesEndsWhenThePickIsCancelled) {
  TempFolder folder;
  folder.write("a.qn");
  folder.write("b.qn");
  form->Form_Load(folder.text() + "x.mp3");
  EXPECT_EQ(services.pick_folders, std::vector<std::string>{folder.text()});
  EXPECT_EQ(services.ended, 1);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(services.opened_reports.empty());
}

TEST_F(WindowTest, AFailedStepShowsTheErrorBoxAndTheRunGoesOn) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  // A line that ends right after ".mp3" gives the audio check nothing to compare.
  std::string qn_path = folder + "Quarnell 1964 Top 6.qn";
  std::string lines = read_file(qn_path);
  std::string bad = "u1964_003 - Dora Venn - Slow Harbour.mp3";
  std::size_t at = lines.find(bad);
  ASSERT_NE(at, std::string::npos);
  lines.erase(at + bad.size(), lines.find('\r', at) - at - bad.size());
  std::ofstream(qn_path, std::ios::binary) << lines;

  // A further Verify while the box is up is refused; Browse is out of reach.
  bool browse_enabled_in_run = true;
  services.on_error = [&] {
    browse_enabled_in_run = button("btnBrowse")->isEnabled();
    EXPECT_TRUE(form->running());
    form->btnVerify_Click();
  };
  form->Form_Load(folder + "x.mp3");

  ASSERT_EQ(services.error_texts.size(), 1u);
  EXPECT_EQ(services.error_titles[0], "Quarnell Verify");
  QString text = services.error_texts[0];
  EXPECT_TRUE(text.endsWith(QString::fromStdString("\r\n" + bad))) << text.toStdString();
  EXPECT_TRUE(text.at(0).isDigit()) << text.toStdString();
  EXPECT_FALSE(browse_enabled_in_run);
  EXPECT_TRUE(button("btnBrowse")->isEnabled());
  EXPECT_EQ(services.opened_reports.size(), 1u) << "one run, one report";
  EXPECT_NE(report().find("u1964_005"), std::string::npos) << "entries after the failure are checked";
}

TEST_F(WindowTest, AReportThatCannotBeWrittenIsReportedAndNotOpened) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  services.report_file = scratch.text() + "no-such-folder" + qn::kSep + "Quarnell Verify.txt";
  form->Form_Load(folder + "x.mp3");
  ASSERT_EQ(services.error_texts.size(), 1u);
  EXPECT_TRUE(services.error_texts[0].endsWith(QString::fromStdString("\r\n" + services.report_file)));
  EXPECT_TRUE(services.opened_reports.empty());
}
