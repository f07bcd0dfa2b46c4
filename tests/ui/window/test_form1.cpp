#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>

#include "base/paths.h"
#include "base/text.h"
#include "ui/window/qt/form1.h"
#include "ui/window/qt/report_view.h"
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
  EXPECT_TRUE(services.questions.empty()) << "a folder that cannot be read offers no collection";
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

TEST_F(WindowTest, TickingTheErrorBoxCheckBoxHoldsTheRestOfTheRunForOneBoxAtTheEnd) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  // Thirty tracks listed without fingerprints: one failed step each.
  std::string lines;
  for (int i = 10; i < 40; ++i) {
    std::string name = "u1964_0" + std::to_string(i) + " - Harbour Lights - Evening Tide.mp3";
    fs::copy_file(folder + "u1964_001 - Harbour Lights - Evening Tide.mp3", folder + name);
    lines += name + "\r\n";
  }
  std::ofstream(folder + "Quarnell 1964 Top 6.qn", std::ios::binary) << lines;
  services.silence_after = 2;
  form->Form_Load(folder + "x.mp3");

  ASSERT_EQ(services.error_texts.size(), 3u) << "two boxes one by one, then one with the rest";
  QString last = services.error_texts[2];
  EXPECT_TRUE(last.startsWith(QStringLiteral("28 further errors of this run:"))) << last.toStdString();
  EXPECT_EQ(last.count(QStringLiteral("\r\n\r\n")), 28) << "the head, then the 28 errors one below the other";
  EXPECT_EQ(services.opened_reports.size(), 1u);

  // The next run starts with boxes again.
  services.silence_after = 0;
  click("btnVerify");
  EXPECT_EQ(services.error_texts.size(), 33u);
}

TEST_F(WindowTest, AReportTheDesktopCannotOpenIsShownInTheWindowsOwnView) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  services.opener_works = false;
  form->Form_Load(folder + "x.mp3");

  ASSERT_NE(form->report_view(), nullptr);
  EXPECT_TRUE(form->report_view()->isVisible());
  auto* text = form->report_view()->findChild<QPlainTextEdit*>(QStringLiteral("reportText"));
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->toPlainText().toStdString(), qn::text::replace_all(report(), "\r\n", "\n"));
  int marked = 0;
  for (const QString& line : text->toPlainText().split(QLatin1Char('\n')))
    if (line.contains(QLatin1String(" FAIL")) || line.contains(QLatin1String(" Fails")) ||
        line.contains(QLatin1String("MISSING")))
      ++marked;
  EXPECT_GT(marked, 0);
  EXPECT_EQ(text->extraSelections().size(), marked);
  EXPECT_TRUE(form->report_view()->findChild<QLabel*>(QStringLiteral("reportPath"))->text().endsWith(
      QString::fromStdString(services.report_file)));
  QTest::mouseClick(form->report_view()->findChild<QPushButton*>(QStringLiteral("btnOpenFolder")), Qt::LeftButton);
  EXPECT_EQ(services.opened_folders, std::vector<std::string>{reports.text()});
  EXPECT_EQ(services.error_texts.size(), 1u) << "the folder could not be opened either, and says so";
}

TEST_F(WindowTest, NamesToggleTheirBoxesButtonsTakeEnterAndBrowseOpensWhereTheUserWasLast) {
  for (const auto& [label, box] : {std::pair{"Label2", "Check1"}, {"Label3", "Check2"}, {"Label4", "chkNfo"}}) {
    bool before = check_box(box)->isChecked();
    QTest::mouseClick(find_child<QLabel>(label), Qt::LeftButton);
    EXPECT_NE(check_box(box)->isChecked(), before) << label;
  }
  QTest::mouseClick(find_child<QLabel>("Label5"), Qt::LeftButton);
  EXPECT_TRUE(check_box("Check3")->isChecked());
  EXPECT_EQ(Label1()->text(), "Browse to Label Folder") << "the same as a click on the box";
  bool id3v1 = check_box("Check1")->isChecked();
  QTest::mouseClick(find_child<QLabel>("Label2"), Qt::LeftButton);
  EXPECT_EQ(check_box("Check1")->isChecked(), id3v1) << "a disabled box stays as it is";
  QTest::mouseClick(find_child<QLabel>("Label5"), Qt::LeftButton);

  TempFolder folder;
  services.folder_answer = folder.path().string();
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    button("btnBrowse")->setFocus();
    QTest::keyClick(button("btnBrowse"), key);
  }
  ASSERT_EQ(services.browse_starts.size(), 3u);
  EXPECT_EQ(services.browse_starts[0], QDir::homePath().toStdString());
  EXPECT_EQ(services.browse_starts[1], folder.path().string());
}

// At any usual font size (and 8 points at 144 dpi, which is 16 pixels), every control shows all of
// its text and box, inside the window, without covering another.
TEST(WindowLayout, NoControlIsCutOrCoveredAtAnyUsualFontSize) {
  app();
  const QFont original = QApplication::font();
  for (int pixels : {10, 11, 13, 16, 20, 24}) {
    QFont font = original;
    font.setPixelSize(pixels);
    QApplication::setFont(font);
    FakeServices services;
    qn::Form1 form(services);
    QList<QWidget*> controls = form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* c : controls) {
      std::string what = c->objectName().toStdString() + " at " + std::to_string(pixels) + " px";
      EXPECT_TRUE(QRect(QPoint(0, 0), form.size()).contains(c->geometry())) << what;
      if (c->objectName() != "Label1" && c->objectName() != "Image1") {
        EXPECT_GE(c->height(), c->sizeHint().height()) << what;
        if (qobject_cast<QLabel*>(c) != nullptr) {
          EXPECT_GE(c->width(), c->sizeHint().width()) << what;
        }
      }
      if (auto* b = qobject_cast<QPushButton*>(c)) {
        EXPECT_GT(b->width(), b->fontMetrics().horizontalAdvance(b->text())) << what;
      }
      for (QWidget* other : controls) {
        if (other == c) continue;
        EXPECT_FALSE(c->geometry().intersects(other->geometry())) << what << " / " << other->objectName().toStdString();
      }
    }
    QLabel* status = form.findChild<QLabel*>("Label1");
    EXPECT_GE(status->height(), 2 * status->fontMetrics().lineSpacing()) << "two lines of the status";
  }
  QApplication::setFont(original);
}

TEST_F(WindowTest, AFolderOfFoldersIsOfferedAndVerifiedAsACollectionThatCanBeCancelled) {
  TempFolder root;
  root.copy_sample(kMp3Sample);
  root.copy_sample("Quarnell 1964 Labels");
  root.write("Quarnell 1964 FLAC/a.qn");
  root.write("Quarnell 1964 FLAC/b.qn");  // several: an error line, not a question
  services.folder_answer = root.path().string();
  click("btnBrowse");
  ASSERT_EQ(services.questions.size(), 1u);
  EXPECT_TRUE(services.questions[0].contains(QStringLiteral(", but 3 folders below it hold checksum files.")))
      << services.questions[0].toStdString();
  EXPECT_FALSE(fs::exists(reports.text() + "Quarnell Verify Summary.txt")) << "No means nothing is run";

  services.yes_answer = true;
  QString verify_text_in_run;
  services.on_question = [&] {
    // Clicked as soon as the run lets the window work: the rest of the collection is left out.
    QTimer::singleShot(0, [&] {
      verify_text_in_run = button("btnVerify")->text();
      click("btnVerify");
    });
  };
  click("btnBrowse");
  std::string cancelled = read_file(reports.text() + "Quarnell Verify Summary.txt");
  EXPECT_EQ(verify_text_in_run, "Cancel");
  EXPECT_NE(cancelled.find(" of 3 (cancelled)"), std::string::npos) << cancelled;

  services.on_question = nullptr;
  click("btnBrowse");
  std::string summary = read_file(reports.text() + "Quarnell Verify Summary.txt");
  EXPECT_NE(summary.find("Folders verified: 3 of 3\r\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("\r\nSummary\r\nentries      OK    FAIL MISSING additional  errors  kind    folder\r\n"),
            std::string::npos);
  EXPECT_NE(summary.find("  error   " + root.text() + "Quarnell 1964 FLAC/\r\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find("  labels  " + root.text() + "Quarnell 1964 Labels/\r\n"), std::string::npos);
  EXPECT_NE(summary.find("  mp3     " + root.text() + "Quarnell 1964 Top 6/\r\n"), std::string::npos);
  EXPECT_NE(summary.find("total   3 folders\r\n"), std::string::npos);
  EXPECT_NE(summary.find("u1964_006 MISSING mp3 file\r\n"), std::string::npos) << "problem lines follow";
  EXPECT_EQ(read_file(reports.text() + "Quarnell Verify 003.txt").rfind("Quarnell mp3 Verify Rev37", 0), 0u);
  EXPECT_EQ(read_file(reports.text() + "Quarnell Verify 002.txt").rfind("Quarnell Label Verify Rev37", 0), 0u);
  EXPECT_EQ(services.opened_reports.back(), reports.text() + "Quarnell Verify Summary.txt");
  EXPECT_EQ(button("btnVerify")->text(), "Verify");
  EXPECT_FALSE(button("btnVerify")->isEnabled()) << "no checksum file is chosen";
  EXPECT_TRUE(button("btnBrowse")->isEnabled());
  EXPECT_TRUE(services.error_texts.empty()) << "nothing is asked or shown per folder";
}
