// The window's logic through a recording view: the start-up roads, the mode box, Browse, the
// runs' errors and reports, and the collection run. Built and run on Linux and on Windows.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "base/paths.h"
#include "platform/file_access.h"
#include "ui/window/form1.h"
#include "ui/window/form1_host.h"
#include "ui/window/recording_view.h"

#include "support/fixtures.h"

namespace fs = std::filesystem;
using qn::CheckValue;
using qn::Control;
using qn::Form1;
using qn::test::read_file;
using qn::test::RecordingView;
using qn::test::TempFolder;

namespace {

const char* const kMp3Sample = "Quarnell 1964 Top 6";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The user ticks or clears the mode box: the view has changed its value when the handler runs.
void click_check3(RecordingView& view, Form1& form) {
  CheckValue& value = view.values[Control::kCheck3];
  value = value == CheckValue::kChecked ? CheckValue::kUnchecked : CheckValue::kChecked;
  form.Check3_Click();
}

// The one folder that a collection run made for its reports, with its separator; empty when none.
std::string run_folder(const TempFolder& reports) {
  std::string found;
  for (const std::string& name : reports.names()) {
    if (!fs::is_directory(reports.path() / name)) continue;
    EXPECT_TRUE(found.empty()) << "one run, one folder";
    found = reports.text() + name + qn::kSep;
  }
  return found;
}

}  // namespace

TEST(Form1, StartUpTakesTheRoadItsArgumentNames) {
  struct Start {
    std::string command_line, label1;
  };
  struct Road {
    const char* name;
    std::function<Start(const TempFolder&)> setup;
    CheckValue mode;
    bool verify_enabled;
    bool visible;
    int registrations;
    int ended;
    const char* report_holds;  // nullptr: no report shown
  };
  const std::string no_file = qn::kNoChecksumFile;
  const Road roads[] = {
      {"one checksum file",
       [](const TempFolder& t) {
         std::string folder = t.copy_sample(kMp3Sample);
         return Start{folder + "u1964_002 - The Marlow Set - Paper Kites.mp3", folder};
       },
       CheckValue::kUnchecked, true, true, 0, 0, "u1964_001 OK"},
      {"the folder itself",
       [](const TempFolder& t) {
         std::string folder = t.copy_sample(kMp3Sample);
         return Start{folder.substr(0, folder.size() - 1), folder};
       },
       CheckValue::kUnchecked, true, true, 0, 0, "Quarnell mp3 Verify"},
      {"a Labels.qn",
       [](const TempFolder& t) {
         t.write("Chart Labels.qn", "u1964_001.jpg 400 0AF5\r\n");
         return Start{t.text() + "u1964_001.jpg", t.text()};
       },
       CheckValue::kChecked, true, true, 0, 0, "Quarnell Label Verify"},
      {"labels.qn in lower case",
       [](const TempFolder& t) {
         t.write("chart labels.qn", "u1964_001 - A - T.nfo\r\n");
         return Start{t.text() + "x.jpg", t.text()};
       },
       CheckValue::kUnchecked, true, true, 0, 0, "No Quarnell audio files found"},
      {"two checksum files, pick cancelled",
       [](const TempFolder& t) {
         t.write("a.qn");
         t.write("b.qn");
         return Start{t.text() + "x.mp3", qn::kAudioPrompt};
       },
       CheckValue::kUnchecked, false, false, 0, 1, nullptr},
      {"no checksum file",
       [no_file](const TempFolder& t) { return Start{t.text() + "x.mp3", no_file + t.text()}; },
       CheckValue::kUnchecked, false, true, 0, 0, nullptr},
      {"quote marks kept",
       [no_file](const TempFolder& t) {
         t.write("a.qn");
         return Start{"\"" + t.text() + "x.mp3\"", no_file + "\"" + t.text()};
       },
       CheckValue::kUnchecked, false, true, 0, 0, nullptr},
      {"no argument", [](const TempFolder&) { return Start{"", qn::kAudioPrompt}; },
       CheckValue::kUnchecked, false, true, 1, 0, nullptr},
  };
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    TempFolder scratch;
    RecordingView view;
    view.report_file = scratch.text() + "Quarnell Verify.txt";
    Form1 form(view);
    Start start = road.setup(scratch);
    form.Form_Load(start.command_line);

    EXPECT_EQ(view.title, qn::window_title());
    EXPECT_EQ(view.label1, start.label1);
    EXPECT_EQ(form.label1(), start.label1);
    EXPECT_EQ(view.values[Control::kCheck3], road.mode);
    bool audio = road.mode == CheckValue::kUnchecked;
    EXPECT_EQ(view.enabled[Control::kChkNfo], audio);
    for (Control box : {Control::kCheck1, Control::kCheck2, Control::kChkNfo})
      EXPECT_EQ(view.values[box], CheckValue::kChecked) << "the option boxes keep their values";
    EXPECT_EQ(view.enabled[Control::kBtnVerify], road.verify_enabled);
    EXPECT_TRUE(view.enabled[Control::kBtnBrowse]);
    EXPECT_EQ(view.visible, road.visible);
    EXPECT_EQ(view.registrations, road.registrations);
    EXPECT_EQ(view.ended, road.ended);
    EXPECT_EQ(view.pick_prompts.size(), road.ended == 1 ? 1u : 0u);
    EXPECT_TRUE(view.questions.empty()) << "nothing below to offer";
    EXPECT_TRUE(view.error_texts.empty());
    EXPECT_FALSE(form.running());
    EXPECT_FALSE(view.busy);
    if (road.report_holds == nullptr) {
      EXPECT_TRUE(view.opened_reports.empty());
    } else {
      EXPECT_EQ(view.opened_reports, std::vector<std::string>{view.report_file});
      EXPECT_TRUE(contains(read_file(view.report_file), road.report_holds)) << read_file(view.report_file);
    }
  }
}

TEST(Form1, ARunReadsItsOptionsFromTheBoxesAndCanBeRepeated) {
  TempFolder scratch;
  std::string folder = scratch.copy_sample(kMp3Sample);
  std::string flac = scratch.copy_sample("Quarnell 1964 FLAC");
  RecordingView view;
  view.report_file = scratch.text() + "Quarnell Verify.txt";
  Form1 form(view);
  form.Form_Load(folder + "x.mp3");
  EXPECT_TRUE(fs::exists(folder + "u1964_002 - The Marlow Set - Paper Kites.nfo")) << ".nfo box is checked";
  std::string first = read_file(view.report_file);

  fs::remove(view.report_file);
  form.btnVerify_Click();
  EXPECT_EQ(view.opened_reports.size(), 2u);
  EXPECT_EQ(read_file(view.report_file).size(), first.size()) << "the same folder again";

  // A FLAC folder has no ID3 tags: the run disables their boxes.
  view.folder_answer = flac.substr(0, flac.size() - 1);
  form.btnBrowse_Click();
  form.btnVerify_Click();
  EXPECT_TRUE(contains(read_file(view.report_file), "u1964_001 mono  OK")) << read_file(view.report_file);
  EXPECT_FALSE(view.enabled[Control::kCheck1]);
  EXPECT_FALSE(view.enabled[Control::kCheck2]);
  EXPECT_EQ(view.label1, flac) << "the folder is back after the progress texts";
}

TEST(Form1, TheModeBoxSetsThePromptAndTheBoxesAndAGreyedOneDoesNothing) {
  TempFolder folder;
  folder.write("a.qn");
  RecordingView view;
  Form1 form(view);
  view.folder_answer = folder.path().string();
  form.btnBrowse_Click();
  ASSERT_TRUE(view.enabled[Control::kBtnVerify]);
  view.values[Control::kCheck2] = CheckValue::kUnchecked;

  click_check3(view, form);
  EXPECT_EQ(view.label1, qn::kLabelPrompt);
  for (Control box : {Control::kCheck1, Control::kCheck2, Control::kChkNfo}) EXPECT_FALSE(view.enabled[box]);
  EXPECT_FALSE(view.enabled[Control::kBtnVerify]) << "the folder Verify would read is gone";
  EXPECT_EQ(qn::file_count(form.checksum_files()), 1) << "the checksum-file list is kept";
  form.btnBrowse_Click();
  EXPECT_EQ(view.browse_prompts.back(), "Containing Quarnell .qn file for images:");

  click_check3(view, form);
  EXPECT_EQ(view.label1, qn::kAudioPrompt);
  for (Control box : {Control::kCheck1, Control::kCheck2, Control::kChkNfo}) EXPECT_TRUE(view.enabled[box]);
  EXPECT_EQ(view.values[Control::kCheck1], CheckValue::kChecked);
  EXPECT_EQ(view.values[Control::kCheck2], CheckValue::kUnchecked);
  EXPECT_EQ(view.values[Control::kChkNfo], CheckValue::kChecked);

  view.label1 = "kept";
  view.values[Control::kCheck3] = CheckValue::kGreyed;
  form.Check3_Click();
  form.btnBrowse_Click();
  form.btnVerify_Click();
  EXPECT_EQ(view.label1, "kept");
  EXPECT_TRUE(view.enabled[Control::kCheck1]);
  EXPECT_EQ(view.browse_prompts.size(), 2u) << "no dialog while the box is greyed";
  EXPECT_TRUE(view.opened_reports.empty());
}

TEST(Form1, BrowseFindsTheChecksumFileOrSaysWhyNot) {
  struct Case {
    const char* name;
    std::vector<const char*> files;
    const char* pick;    // the name picked in another folder; "": cancelled; nullptr: no picker
    const char* chosen;  // element 1 of the list; nullptr: none
    int ended;
  };
  const Case cases[] = {
      {"one, another below", {"Chart.QN", "sub/Other.qn"}, nullptr, "Chart.QN", 0},
      {"only below", {"sub/only-below.qn"}, nullptr, nullptr, 0},
      {"two, one picked elsewhere", {"a.qn", "b.qn"}, "b.qn", "b.qn", 0},
      {"two, pick cancelled", {"a.qn", "b.qn"}, "", nullptr, 1},
      {"two, picked name not here", {"a.qn", "b.qn"}, "c.qn", nullptr, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    for (const char* file : c.files) folder.write(file);
    RecordingView view;
    Form1 form(view);
    view.enabled[Control::kBtnVerify] = true;
    view.folder_answer = folder.path().string();
    if (c.pick != nullptr && *c.pick != '\0')
      view.pick_answer = qn::kSep + std::string("elsewhere") + qn::kSep + c.pick;
    form.btnBrowse_Click();

    EXPECT_EQ(view.browse_prompts, std::vector<std::string>{"Containing Quarnell .qn file for mp3's/flacs:"});
    EXPECT_EQ(view.browse_starts, std::vector<std::string>{view.home});
    EXPECT_EQ(view.ended, c.ended);
    if (c.pick != nullptr) {
      EXPECT_EQ(view.pick_prompts, std::vector<std::string>{qn::kPickChecksumPrompt});
      EXPECT_EQ(view.pick_folders, std::vector<std::string>{folder.path().string()});
    } else {
      EXPECT_TRUE(view.pick_prompts.empty());
    }
    if (c.chosen != nullptr) {
      ASSERT_EQ(qn::file_count(form.checksum_files()), 1);
      EXPECT_EQ(form.checksum_files()[1], (folder.path() / c.chosen).string());
      EXPECT_EQ(view.label1, folder.text());
      EXPECT_TRUE(view.enabled[Control::kBtnVerify]);
    } else if (c.ended == 0) {
      EXPECT_EQ(qn::file_count(form.checksum_files()), 0);
      EXPECT_EQ(view.label1, qn::kNoChecksumFile + folder.path().string());
      EXPECT_FALSE(view.enabled[Control::kBtnVerify]);
      EXPECT_EQ(view.questions.size(), 1u) << "the folder below is offered";
    }
    // The next Browse opens where the user was last.
    view.folder_answer.clear();
    form.btnBrowse_Click();
    EXPECT_EQ(view.browse_starts.back(), folder.path().string());
  }
}

TEST(Form1, AFailedStepShowsOneBoxAndTheRunGoesOnWithVerifyRefusedMeanwhile) {
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

  RecordingView view;
  view.report_file = scratch.text() + "Quarnell Verify.txt";
  Form1 form(view);
  bool browse_enabled_in_run = true;
  view.on_error = [&] {
    browse_enabled_in_run = view.enabled[Control::kBtnBrowse];
    EXPECT_TRUE(form.running());
    form.btnVerify_Click();
    form.btnBrowse_Click();
  };
  form.Form_Load(folder + "x.mp3");

  ASSERT_EQ(view.error_texts.size(), 1u);
  EXPECT_EQ(view.error_titles[0], qn::kApplicationTitle);
  EXPECT_TRUE(view.error_texts[0].ends_with("\r\n" + bad)) << view.error_texts[0];
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(view.error_texts[0][0]))) << view.error_texts[0];
  EXPECT_FALSE(view.busy_in_error_box) << "the box is shown with the normal pointer";
  EXPECT_FALSE(browse_enabled_in_run);
  EXPECT_TRUE(view.browse_prompts.empty());
  EXPECT_TRUE(view.enabled[Control::kBtnBrowse]);
  EXPECT_EQ(view.opened_reports.size(), 1u) << "one run, one report";
  EXPECT_TRUE(contains(read_file(view.report_file), "u1964_005")) << "entries after the failure are checked";
}

TEST(Form1, ErrorsHeldBackAfterTheOfferAreShownOnceAtTheEndOfTheRun) {
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
  RecordingView view;
  view.report_file = scratch.text() + "Quarnell Verify.txt";
  view.silence_after = 2;
  Form1 form(view);
  form.Form_Load(folder + "x.mp3");

  ASSERT_EQ(view.error_texts.size(), 3u) << "two boxes one by one, then one with the rest";
  const std::string& last = view.error_texts[2];
  EXPECT_TRUE(last.starts_with("28 further errors of this run:\r\n\r\n")) << last;
  std::size_t blocks = 0;
  for (std::size_t at = last.find("\r\n\r\n"); at != std::string::npos; at = last.find("\r\n\r\n", at + 4)) ++blocks;
  EXPECT_EQ(blocks, 28u) << "the head, then the 28 errors one below the other";
  EXPECT_EQ(view.opened_reports.size(), 1u);

  // The next run starts with boxes again.
  view.silence_after = 0;
  form.btnVerify_Click();
  EXPECT_EQ(view.error_texts.size(), 33u);
}

TEST(Form1, TheReportIsShownByTheDesktopOrTheWindowAndNeverWhenUnwritten) {
  struct Case {
    const char* name;
    bool writable;
    bool opener_works;
    const char* outcome_ends;  // the outcome line under the controls
  };
  for (const Case& c : {Case{"desktop", true, true, "\u2014 report opened"}, Case{"window", true, false, "\u2014 report in "},
                        Case{"unwritten", false, true, "\u2014 report not written"}}) {
    SCOPED_TRACE(c.name);
    TempFolder scratch;
    std::string folder = scratch.copy_sample(kMp3Sample);
    RecordingView view;
    view.report_file = scratch.text() + (c.writable ? "" : "no-such-folder/") + "Quarnell Verify.txt";
    view.opener_works = c.opener_works;
    Form1 form(view);
    form.Form_Load(folder + "x.mp3");
    std::vector<std::string> report{view.report_file};
    EXPECT_EQ(view.opened_reports, c.writable ? report : std::vector<std::string>{});
    EXPECT_EQ(view.reports_in_window, c.writable && !c.opener_works ? report : std::vector<std::string>{});
    if (!view.report_texts_in_window.empty()) {
      EXPECT_EQ(view.report_texts_in_window[0], read_file(view.report_file));
    }
    const std::string where = c.writable && !c.opener_works ? view.report_file : "";
    EXPECT_EQ(view.outcome, std::string("4 OK \u00b7 3 FAIL (2 audio, 1 tags only) \u00b7 1 MISSING \u00b7 1 additional ") +
                                c.outcome_ends + where);
    EXPECT_EQ(view.outcome_worst, qn::Outcome::kFail);
    ASSERT_EQ(view.error_texts.size(), c.writable ? 0u : 1u);
    if (!c.writable) {
      EXPECT_TRUE(view.error_texts[0].ends_with("\r\n" + view.report_file)) << view.error_texts[0];
    }
  }
}

TEST(Form1, AFolderOfFoldersIsOfferedAndVerifiedAsACollectionThatCanBeCancelled) {
  TempFolder root, reports;
  root.copy_sample(kMp3Sample);
  root.copy_sample("Quarnell 1964 Labels");
  root.write("Quarnell 1964 FLAC/a.qn");
  root.write("Quarnell 1964 FLAC/b.qn");  // several: an error line, not a question
  RecordingView view;
  view.report_file = reports.text() + "Quarnell Verify.txt";
  view.folder_answer = root.path().string();
  Form1 form(view);
  const std::string no_file = qn::kNoChecksumFile + root.path().string();

  // The look below the folder lets the window work, with Verify as its Cancel; a cancelled look
  // offers nothing.
  std::vector<std::string> seen_in_look;
  view.on_yield = [&] { seen_in_look.push_back(view.verify_caption + ": " + view.label1); };
  form.btnBrowse_Click();
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_TRUE(contains(view.questions[0], ", but 3 folders below it hold checksum files.")) << view.questions[0];
  ASSERT_FALSE(seen_in_look.empty());
  EXPECT_EQ(seen_in_look.back(), "Cancel: Looking for checksum files below " + root.path().string() + "\n" +
                                     std::to_string(seen_in_look.size()) + " folders");
  EXPECT_EQ(view.label1, no_file);
  view.on_yield = [&] { form.btnVerify_Click(); };
  form.btnBrowse_Click();
  EXPECT_EQ(view.questions.size(), 1u) << "a cancelled look offers nothing";
  EXPECT_EQ(view.label1, no_file);
  EXPECT_EQ(view.verify_caption, "Verify");
  EXPECT_TRUE(view.enabled[Control::kBtnBrowse]);
  EXPECT_TRUE(reports.names().empty()) << "No means nothing is run";

  // Verify is the Cancel while the collection runs; clicked as soon as the run lets the window work.
  view.yes_answer = true;
  std::string caption_in_run;
  view.on_yield = [&] {
    if (view.questions.size() < 2 || !caption_in_run.empty()) return;
    caption_in_run = view.verify_caption;
    EXPECT_TRUE(view.enabled[Control::kBtnVerify]);
    form.btnVerify_Click();
  };
  form.btnBrowse_Click();
  EXPECT_EQ(caption_in_run, "Cancel");
  ASSERT_EQ(view.opened_reports.size(), 1u);
  const std::string first_summary = view.opened_reports[0];
  EXPECT_TRUE(contains(read_file(first_summary), " of 3 (cancelled)")) << read_file(first_summary);
  EXPECT_EQ(view.outcome, "0 of 3 folders: 0 OK \u2014 summary opened");

  // A second run has a folder of its own: nothing of the first is mixed with it.
  view.on_yield = nullptr;
  form.btnBrowse_Click();
  const std::string summary_path = view.opened_reports.back();
  const std::string folder = qn::FolderOfPath(summary_path);
  EXPECT_EQ(summary_path, folder + "Quarnell Verify Summary.txt");
  EXPECT_NE(folder, qn::FolderOfPath(first_summary));
  EXPECT_EQ(qn::FolderOfPath(folder.substr(0, folder.size() - 1)), reports.text());
  EXPECT_EQ(reports.names().size(), 2u);
  std::string summary = read_file(summary_path);
  std::string sep(1, qn::kSep);
  EXPECT_TRUE(contains(summary, "Folders verified: 3 of 3\r\nFolders with problems: 3\r\n")) << summary;
  EXPECT_TRUE(contains(summary, "  error   " + root.text() + "Quarnell 1964 FLAC" + sep + "\r\n")) << summary;
  EXPECT_TRUE(contains(summary, "  labels  " + root.text() + "Quarnell 1964 Labels" + sep + "\r\n"));
  EXPECT_TRUE(contains(summary, "  mp3     " + root.text() + "Quarnell 1964 Top 6" + sep + "\r\n"));
  EXPECT_LT(summary.find("u1964_006 MISSING mp3 file\r\n"), summary.find("  mp3     ")) << "problems come first";
  EXPECT_EQ(read_file(folder + "Quarnell Verify 003.txt").rfind("Quarnell mp3 Verify", 0), 0u);
  EXPECT_EQ(read_file(folder + "Quarnell Verify 002.txt").rfind("Quarnell Label Verify", 0), 0u);
  EXPECT_EQ(view.label1, "Verified 3 of 3 folders below " + root.path().string());
  EXPECT_EQ(view.outcome_worst, qn::Outcome::kFail);
  EXPECT_TRUE(view.outcome.starts_with("3 of 3 folders, 3 with problems: ")) << view.outcome;
  EXPECT_TRUE(view.outcome.ends_with(" \u2014 summary opened")) << view.outcome;
  EXPECT_EQ(view.verify_caption, "Verify");
  EXPECT_FALSE(view.enabled[Control::kBtnVerify]) << "no checksum file is chosen";
  EXPECT_TRUE(view.enabled[Control::kBtnBrowse]);
  EXPECT_TRUE(view.error_texts.empty()) << "nothing is asked or shown per folder";
}

// The outcome line after a run: the counts that are not zero, what became of the report, and the
// colour of the worst count; after a collection run, the folders and those with problems.
TEST(OutcomeLine, CountsTheRunSaysWhereItsReportIsAndTakesTheWorstColour) {
  struct Case {
    qn::RunCounts counts;  // entries, ok, fail, tags_only, missing, additional, errors
    qn::ReportFate fate;
    int collection_folders;  // 0: a run of one folder
    int problem_folders;
    const char* text;
    qn::Outcome worst;
  };
  using qn::Outcome;
  using qn::ReportFate;
  const Case cases[] = {
      {{9, 6, 1, 0, 1, 1, 0}, ReportFate::kOpened, 0, 0,
       "6 OK \u00b7 1 FAIL \u00b7 1 MISSING \u00b7 1 additional \u2014 report opened", Outcome::kFail},
      {{8, 8, 0, 0, 0, 0, 0}, ReportFate::kInWindow, 0, 0, "8 OK \u2014 report in /r/Quarnell Verify.txt", Outcome::kOk},
      {{7, 5, 0, 0, 2, 1, 0}, ReportFate::kUnwritten, 0, 0,
       "5 OK \u00b7 2 MISSING \u00b7 1 additional \u2014 report not written", Outcome::kMissing},
      {{5, 5, 0, 0, 0, 3, 0}, ReportFate::kOpened, 0, 0, "5 OK \u00b7 3 additional \u2014 report opened", Outcome::kAdditional},
      {{0, 0, 0, 0, 0, 0, 1}, ReportFate::kOpened, 0, 0, "0 OK \u00b7 1 error \u2014 report opened", Outcome::kFail},
      {{44, 40, 2, 0, 1, 0, 2}, ReportFate::kOpened, 250, 3,
       "250 of 250 folders, 3 with problems: 40 OK \u00b7 2 FAIL \u00b7 1 MISSING \u00b7 2 errors \u2014 summary opened",
       Outcome::kFail},
      {{4, 4, 0, 0, 0, 0, 0}, ReportFate::kInWindow, 2, 0, "2 of 2 folders: 4 OK \u2014 summary in /r/Quarnell Verify.txt",
       Outcome::kOk},
      {{4, 3, 0, 0, 1, 0, 0}, ReportFate::kOpened, 2, 1,
       "2 of 2 folders, 1 with problems: 3 OK \u00b7 1 MISSING \u2014 summary opened", Outcome::kMissing},
      {{9, 6, 3, 2, 0, 0, 0}, ReportFate::kOpened, 0, 0, "6 OK \u00b7 3 FAIL (1 audio, 2 tags only) \u2014 report opened",
       Outcome::kFail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const qn::OutcomeLine line =
        c.collection_folders == 0
            ? qn::run_outcome(c.counts, c.fate, "/r/Quarnell Verify.txt")
            : qn::collection_outcome(c.counts, c.collection_folders, c.collection_folders, c.problem_folders, c.fate,
                                     "/r/Quarnell Verify.txt");
    EXPECT_EQ(line.text, c.text);
    EXPECT_EQ(line.worst, c.worst);
  }
}

// What the runs above do not reach: a greyed ID3 box, and the wording of a single held error.
TEST(Form1Host, OnlyATickedId3BoxCountsAndOneHeldErrorIsSaidSo) {
  RecordingView view;
  qn::Form1Host host(view, [](const std::string&) {});
  view.values[Control::kCheck1] = CheckValue::kGreyed;
  EXPECT_FALSE(host.include_id3v1());
  EXPECT_TRUE(host.include_id3v2());
  view.values[Control::kCheck2] = CheckValue::kUnchecked;
  EXPECT_FALSE(host.include_id3v2()) << "read again at each ask";
  host.hold_errors();
  host.show_error(5, "Access denied", "b.mp3");
  host.show_held_errors();
  host.show_held_errors();
  EXPECT_EQ(view.error_texts, std::vector<std::string>{"1 further error of this run:\r\n\r\n5 Access denied\r\nb.mp3"});
}

// Both windows cut a long error text the same way: 24 lines, then "...".
TEST(ErrorBoxHead, MoreThan24LinesShowTheirHeadAndSayItIsNotAll) {
  auto lines = [](int count, const char* end) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + (i < count ? "\r\n" : end);
    return text;
  };
  bool whole = false;
  EXPECT_EQ(qn::error_box_head(lines(24, ""), whole), lines(24, ""));
  EXPECT_TRUE(whole);
  EXPECT_EQ(qn::error_box_head(lines(25, ""), whole), lines(24, "\r\n") + "...");
  EXPECT_FALSE(whole);
  EXPECT_EQ(qn::error_box_head(lines(24, "\r\n"), whole), lines(24, "\r\n") + "...")
      << "a last line end starts a 25th line";
  EXPECT_FALSE(whole);
}

#ifndef _WIN32
// The window's reports against a link planted at their names before the run, or once the new
// report file has been created beside the name: the link is replaced, never written through, and
// the file behind it keeps its bytes.
TEST(Form1, ALinkAtAReportNameIsReplacedNeverWrittenThrough) {
  struct Case {
    const char* name;
    bool collection;  // the summary of a collection run, else the report of one folder
    bool hard;        // a hard link to a track, else a symbolic link to a file outside
    bool while_writing;
  };
  static std::string strike_name;  // the temporary file whose creation lets the adversary act
  static std::function<void()> strike;
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { qn::platform::system_calls() = qn::platform::real_system_calls(); }
  } restore;
  for (const Case& c : {Case{"report, symbolic link", false, false, false}, Case{"report, hard link", false, true, true},
                        Case{"summary, hard link", true, true, true}, Case{"summary, symbolic link", true, false, true}}) {
    SCOPED_TRACE(c.name);
    TempFolder root, reports, outside;
    const std::string folder = root.copy_sample(kMp3Sample);
    root.copy_sample("Quarnell 1964 Labels");
    const std::string victim = outside.write(".bashrc", std::string("keep"));
    const std::string track = folder + "u1964_002 - The Marlow Set - Paper Kites.mp3";
    const std::string track_bytes = read_file(track);
    const std::string target = c.hard ? track : victim;
    const std::string base = c.collection ? "Quarnell Verify Summary.txt" : "Quarnell Verify.txt";
    // A collection run's summary goes into the folder made for the run.
    auto name_now = [&] { return (c.collection ? run_folder(reports) : reports.text()) + base; };
    auto plant = [&] {
      if (c.hard) fs::create_hard_link(target, name_now());
      else fs::create_symlink(target, name_now());
    };
    if (!c.while_writing) plant();
    strike_name = "." + base;
    strike = c.while_writing ? std::function<void()>(plant) : nullptr;
    qn::platform::system_calls().openat = [](int dir, const char* p, int flags, mode_t mode) {
      const int fd = qn::platform::real_system_calls().openat(dir, p, flags, mode);
      if (strike && std::string(p).starts_with(strike_name)) std::exchange(strike, nullptr)();
      return fd;
    };
    RecordingView view;
    view.report_file = reports.text() + "Quarnell Verify.txt";
    Form1 form(view);
    if (c.collection) {
      view.folder_answer = root.path().string();
      view.yes_answer = true;
      form.btnBrowse_Click();
    } else {
      form.Form_Load(folder + "x.mp3");
    }
    qn::platform::system_calls() = qn::platform::real_system_calls();
    const std::string name = name_now();
    EXPECT_FALSE(strike) << "the link was planted";
    EXPECT_EQ(read_file(victim), "keep");
    EXPECT_EQ(read_file(track), track_bytes);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
    EXPECT_TRUE(contains(read_file(name), c.collection ? "Folders verified: 2 of 2" : "Quarnell mp3 Verify")) << read_file(name);
    EXPECT_TRUE(view.error_texts.empty());
  }
}
// The summary's problem lines wait in a scratch file beside the reports, or in memory where that
// file cannot be made or fills up: the summary comes out the same either way, and no scratch file
// is left. One that cannot be read back leaves the old summary and says so.
TEST(Form1, TheSummaryIsTheSameWhereverItsProblemLinesWait) {
  enum Trouble { kNone, kNotCreated, kFillsUp, kNotReadBack };
  struct Case {
    const char* name;
    Trouble trouble;
    bool opener_works;
  };
  static int scratch_fd = -1;
  static int scratch_writes = 0;
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { qn::platform::system_calls() = qn::platform::real_system_calls(); }
  } restore;
  std::string expected;
  for (const Case& c : {Case{"scratch file", kNone, true}, Case{"no scratch file", kNotCreated, false},
                        Case{"scratch file full after one piece", kFillsUp, false},
                        Case{"scratch file unreadable", kNotReadBack, true}}) {
    SCOPED_TRACE(c.name);
    TempFolder root, reports;
    root.copy_sample(kMp3Sample);
    root.copy_sample("Quarnell 1964 Labels");
    root.write("Quarnell 1964 FLAC/a.qn");
    root.write("Quarnell 1964 FLAC/b.qn");
    scratch_fd = -1;
    scratch_writes = 0;
    qn::platform::SystemCalls& calls = qn::platform::system_calls();
    calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
      if (std::string(name).starts_with(".scratch.") && scratch_fd == -2) {
        errno = EACCES;
        return -1;
      }
      const int fd = qn::platform::real_system_calls().openat(dir, name, flags, mode);
      if (std::string(name).starts_with(".scratch.")) scratch_fd = fd;
      return fd;
    };
    if (c.trouble == kNotCreated) scratch_fd = -2;
    if (c.trouble == kFillsUp) {
      calls.write = [](int fd, const void* bytes, size_t n) -> ssize_t {
        if (fd == scratch_fd && ++scratch_writes > 1) {
          errno = ENOSPC;
          return -1;
        }
        return qn::platform::real_system_calls().write(fd, bytes, n);
      };
    }
    if (c.trouble == kNotReadBack) {
      calls.pread = [](int, void*, size_t, off_t) -> ssize_t {
        errno = EIO;
        return -1;
      };
    }
    RecordingView view;
    view.report_file = reports.text() + "Quarnell Verify.txt";
    view.folder_answer = root.path().string();
    view.yes_answer = true;
    view.opener_works = c.opener_works;
    Form1 form(view);
    form.btnBrowse_Click();
    qn::platform::system_calls() = qn::platform::real_system_calls();
    const std::string reports_of_run = run_folder(reports);
    ASSERT_FALSE(reports_of_run.empty());
    const std::string summary_path = reports_of_run + "Quarnell Verify Summary.txt";
    // The folders' names differ from case to case.
    auto same_names = [&](std::string text) {
      for (const std::string& from : {root.path().string(), reports_of_run, reports.path().string()}) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) text.replace(at, from.size(), "F");
      }
      return text;
    };
    if (c.trouble == kNotReadBack) {
      EXPECT_FALSE(fs::exists(summary_path));
      ASSERT_EQ(view.error_texts.size(), 1u);
      EXPECT_TRUE(contains(view.error_texts[0], "Writing the report failed")) << view.error_texts[0];
      EXPECT_TRUE(view.outcome.ends_with("summary not written")) << view.outcome;
    } else if (const std::string summary = same_names(read_file(summary_path)); c.trouble == kNone) {
      expected = summary;
      EXPECT_TRUE(contains(summary, "u1964_006 MISSING mp3 file\r\n")) << summary;
      EXPECT_TRUE(contains(summary, "several audio checksum files")) << summary;
    } else {
      EXPECT_EQ(summary, expected);
      ASSERT_EQ(view.report_texts_in_window.size(), 1u);
      EXPECT_EQ(same_names(view.report_texts_in_window[0]), expected);
    }
    for (const auto& entry : fs::directory_iterator(reports_of_run))
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

#endif

// The outcome line cut to the window: where the report went stays in view, the counts lose their end.
TEST(OutcomeLine, ACutLineKeepsWhereTheReportWent) {
  auto characters = [](const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  struct Case {
    const char* text;
    int room;
    const char* shown;
  };
  const Case cases[] = {
      {"6 OK \u00b7 1 FAIL \u2014 report opened", 40, "6 OK \u00b7 1 FAIL \u2014 report opened"},
      {"6 OK \u00b7 1 FAIL \u2014 report opened", 22, "6 OK \u2026 \u2014 report opened"},
      {"8 OK \u2014 report in /home/user/.local/state/Quarnell Verify.txt", 40,
       "8 OK \u2014 report in /home/user/\u2026 Verify.txt"},
      {"4 OK \u00b7 3 FAIL \u00b7 1 MISSING \u00b7 1 additional \u2014 report in /home/user/state/Quarnell Verify.txt", 45,
       "4 OK \u00b7 3 FAIL \u00b7 1 MISS\u2026 \u2014 report in /hom\u2026.txt"},
      {"no dash at all in this text", 10, "no dash a\u2026"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string shown = qn::fit_outcome(c.text, c.room, characters);
    EXPECT_EQ(shown, c.shown);
    EXPECT_LE(characters(shown), c.room);
  }
}
