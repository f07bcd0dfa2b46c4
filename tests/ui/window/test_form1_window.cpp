#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

#include "base/paths.h"
#include "base/text.h"
#include "ui/window/qt/form1_window.h"
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
    form = std::make_unique<qn::Form1Window>(services);
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
  std::unique_ptr<qn::Form1Window> form;
};

const char* const kMp3Sample = "Quarnell 1964 Top 6";

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
    EXPECT_EQ(find_child<QLabel>(b.label)->textFormat(), Qt::PlainText) << b.label;
  }
  EXPECT_EQ(Label1()->textFormat(), Qt::PlainText) << "a folder named like markup is shown as it is";
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

// The Qt window drives the logic: the start-up run, then a click on Verify, each with its report.
TEST_F(WindowTest, CommandLineStartRunsAtOnceAndVerifyRunsAgain) {
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
  EXPECT_EQ(Label1()->text().toStdString(), folder) << "the folder is back after the progress texts";
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  fs::remove(services.report_file);
  click("btnVerify");
  EXPECT_EQ(services.opened_reports.size(), 2u);
  EXPECT_EQ(report().size(), text.size()) << "identical but for the time of day in the head";
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
    qn::Form1Window form(services);
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
