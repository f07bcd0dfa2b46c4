#include "ui/window/form1.h"

#include <algorithm>

#include "audio/frame_header.h"
#include "base/paths.h"
#include "base/version.h"
#include "engine/planned_folder.h"
#include "engine/verify.h"
#include "platform/find_files.h"
#include "ui/window/form1_host.h"
#include "ui/window/report_place.h"

namespace qn {

std::string window_title() { return std::string("Quarnell Verify ") + kVersionText + ' ' + kRevisionText; }

std::string error_box_head(const std::string& text, bool& whole) {
  std::size_t at = 0;
  for (std::size_t line = 0; line < kErrorBoxLines; ++line) {
    at = text.find('\n', at);
    if (at == std::string::npos) {
      whole = true;
      return text;
    }
    ++at;
  }
  whole = false;
  return text.substr(0, at) + "...";
}

namespace {

constexpr const char* kDot = " \u00b7 ";
constexpr const char* kDash = " \u2014 ";

std::string counts_text(const RunCounts& counts, Outcome& worst) {
  std::string text = std::to_string(counts.ok) + " OK";
  worst = Outcome::kOk;
  auto add = [&](long n, const char* what, Outcome level) {
    if (n == 0) return;
    text += kDot + std::to_string(n) + what;
    worst = std::max(worst, level);
  };
  if (counts.fail > 0) {
    text += kDot + fail_text(counts);  // "2 FAIL (1 audio, 1 tags only)" when a retag is among them
    worst = Outcome::kFail;
  }
  add(counts.missing, " MISSING", Outcome::kMissing);
  add(counts.additional, " additional", Outcome::kAdditional);
  add(counts.errors, counts.errors == 1 ? " error" : " errors", Outcome::kFail);
  return text;
}

std::string fate_text(ReportFate fate, const char* what, const std::string& path) {
  switch (fate) {
    case ReportFate::kOpened: return kDash + std::string(what) + " opened";
    case ReportFate::kInWindow: return kDash + std::string(what) + " in " + path;
    case ReportFate::kUnwritten: break;
  }
  return kDash + std::string(what) + " not written";
}

}  // namespace

namespace {

constexpr const char* kEllipsis = "\u2026";

// Where each character of a UTF-8 text starts, and the text's end.
std::vector<std::size_t> character_starts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

std::string elide_end(const std::string& text, int room, const std::function<int(const std::string&)>& width) {
  if (width(text) <= room) return text;
  const std::vector<std::size_t> starts = character_starts(text);
  for (std::size_t keep = starts.size() - 1; keep-- > 0;) {
    std::string shown = text.substr(0, starts[keep]) + kEllipsis;
    if (width(shown) <= room) return shown;
  }
  return {};
}

std::string elide_middle(const std::string& text, int room, const std::function<int(const std::string&)>& width) {
  if (width(text) <= room) return text;
  const std::vector<std::size_t> starts = character_starts(text);
  const std::size_t count = starts.size() - 1;
  for (std::size_t keep = count; keep-- > 0;) {
    const std::size_t head = (keep + 1) / 2;
    std::string shown = text.substr(0, starts[head]) + kEllipsis + text.substr(starts[count - (keep - head)]);
    if (width(shown) <= room) return shown;
  }
  return {};
}

}  // namespace

std::string fit_outcome(const std::string& text, int room, const std::function<int(const std::string&)>& width) {
  if (width(text) <= room) return text;
  const std::size_t dash = text.rfind(kDash);
  if (dash == std::string::npos || dash == 0) return elide_end(text, room, width);
  const std::string counts = text.substr(0, dash);
  std::string where = text.substr(dash);
  const std::size_t in = where.find(" in ");
  if (in != std::string::npos && width(where) > room - width(counts)) {
    // The path gets what the counts leave, and at least a fifth of the room.
    const std::string head = where.substr(0, in + 4);
    const int path_room = std::max(room / 5, room - width(counts) - width(head));
    where = head + elide_middle(where.substr(in + 4), path_room, width);
  }
  if (width(where) > room) return elide_end(text, room, width);
  return elide_end(counts, room - width(where), width) + where;
}

OutcomeLine run_outcome(const RunCounts& counts, ReportFate fate, const std::string& report) {
  OutcomeLine line;
  line.text = counts_text(counts, line.worst) + fate_text(fate, "report", report);
  return line;
}

OutcomeLine collection_outcome(const RunCounts& totals, int folders_done, int folders_total, int problem_folders,
                               ReportFate fate, const std::string& summary) {
  OutcomeLine line;
  // The folders first: when the line is too long for the window, the totals lose their end.
  line.text = std::to_string(folders_done) + " of " + std::to_string(folders_total) + " folders";
  if (problem_folders > 0) line.text += ", " + std::to_string(problem_folders) + " with problems";
  line.text += ": " + counts_text(totals, line.worst) + fate_text(fate, "summary", summary);
  return line;
}

// The view was built with its controls in their first state: the audio prompt in Label1.
Form1::Form1(Form1View& view) : view_(view), label1_(kAudioPrompt) {}

void Form1::set_label1(const std::string& text) {
  label1_ = text;
  view_.set_label1(text);
}

void Form1::Form_Load(const std::string& command_line) {
  view_.set_title(window_title());
  InitBitrateTable();
  if (command_line.empty()) {
    view_.register_shell();
    view_.show_window();
    return;
  }
  // The named file only serves to name its folder; a folder named itself is taken as it is.
  std::string folder = platform::folder_named_by(command_line);
  last_folder_ = folder;
  switch (find_checksum_file(folder)) {
    case ChecksumFileFound::kNone:
      view_.show_window();
      offer_collection(folder);
      return;
    case ChecksumFileFound::kCancelled: return;
    case ChecksumFileFound::kOne: break;
  }
  bool labels = is_label_checksum_name(FileNameOfPath(checksum_files_[1]));
  set_mode(labels ? CheckValue::kChecked : CheckValue::kUnchecked);
  // After the mode is set: a change of mode disables Verify until a folder is chosen again.
  view_.set_enabled(Control::kBtnVerify, true);
  set_label1(folder);
  view_.show_window();
  btnVerify_Click();
}

// Sets Check3 as a click would, with the click's effects when the value changes.
void Form1::set_mode(CheckValue value) {
  if (view_.check_value(Control::kCheck3) == value) return;
  view_.set_check_value(Control::kCheck3, value);
  Check3_Click();
}

void Form1::Check3_Click() {
  CheckValue mode = view_.check_value(Control::kCheck3);
  if (mode == CheckValue::kGreyed) return;
  bool audio = mode == CheckValue::kUnchecked;
  set_label1(audio ? kAudioPrompt : kLabelPrompt);
  for (Control box : {Control::kCheck1, Control::kCheck2, Control::kChkNfo}) view_.set_enabled(box, audio);
  // The prompt has replaced the folder that a run would read from Label1.
  view_.set_enabled(Control::kBtnVerify, false);
}

void Form1::btnBrowse_Click() {
  if (running_) return;
  std::string prompt;
  switch (view_.check_value(Control::kCheck3)) {
    case CheckValue::kUnchecked: prompt = "Containing Quarnell .qn file for mp3's/flacs:"; break;
    case CheckValue::kChecked: prompt = "Containing Quarnell .qn file for images:"; break;
    case CheckValue::kGreyed: return;
  }
  std::string folder = view_.BrowseForFolder(prompt, browse_start_folder());
  if (folder.empty()) return;
  last_folder_ = folder;
  switch (find_checksum_file(folder)) {
    case ChecksumFileFound::kNone: offer_collection(folder); return;
    case ChecksumFileFound::kCancelled: return;
    case ChecksumFileFound::kOne: break;
  }
  set_label1(FolderOfPath(checksum_files_[1]));
  view_.set_enabled(Control::kBtnVerify, true);
}

// The folder's checksum file into checksum_files_: none says so in Label1 and disables Verify;
// several are offered to pick from, and a cancelled pick ends the program.
Form1::ChecksumFileFound Form1::find_checksum_file(const std::string& folder) {
  FolderChoice choice = choose_checksum_file(folder, "", false);
  checksum_files_ = std::move(choice.found);
  if (choice.choice == ChecksumChoice::kNone) {
    set_label1(kNoChecksumFile + folder);
    view_.set_enabled(Control::kBtnVerify, false);
    return ChecksumFileFound::kNone;
  }
  if (choice.choice == ChecksumChoice::kSeveral) {
    checksum_files_ = ChooseChecksumFile(folder);
    if (file_count(checksum_files_) < 1) {
      view_.end_program();
      return ChecksumFileFound::kCancelled;
    }
  }
  return ChecksumFileFound::kOne;
}

// The file list of the picked name searched in `folder` (normally exactly that file), or an empty
// list when the pick was cancelled. Only the picked name counts, whichever folder the dialog was in.
FileList Form1::ChooseChecksumFile(const std::string& folder) {
  std::string path = view_.OpenChecksumFileDialog(kPickChecksumPrompt, folder);
  if (path.empty()) return empty_file_list();
  std::string name = FileNameOfPath(path);
  if (name.empty()) return empty_file_list();
  return platform::FindFiles(folder, name, false);
}

std::string Form1::browse_start_folder() {
  if (platform::is_folder(last_folder_)) return last_folder_;
  return view_.home_folder();
}

void Form1::btnVerify_Click() {
  // During a collection run the button is its Cancel.
  if (collection_running_) {
    cancel_requested_ = true;
    view_.set_enabled(Control::kBtnVerify, false);
    return;
  }
  // A run yields to the event loop between files; a second run would interleave two reports.
  if (running_) return;
  switch (view_.check_value(Control::kCheck3)) {
    case CheckValue::kUnchecked: run(false); break;
    case CheckValue::kChecked: run(true); break;
    case CheckValue::kGreyed: break;
  }
}

void Form1::window_closing() { cancel_requested_ = true; }

void Form1::run(bool labels) {
  running_ = true;
  // The folder and the checksum-file list must stay what this run started with.
  bool browse_enabled = view_.is_enabled(Control::kBtnBrowse);
  bool mode_enabled = view_.is_enabled(Control::kCheck3);
  view_.set_enabled(Control::kBtnBrowse, false);
  view_.set_enabled(Control::kCheck3, false);

  std::string folder = label1_;
  show_outcome({});
  OutcomeLine outcome;
  {
    Form1Host host(view_, [this](const std::string& text) { set_label1(text); });
    PlannedFolder planned{labels ? ItemKind::kLabels : ItemKind::kAudio, folder,
                          file_count(checksum_files_) >= 1 ? checksum_files_[1] : std::string()};
    // A label run takes the checksum file the user chose only when it is a label checksum file.
    if (labels && !is_label_checksum_name(FileNameOfPath(planned.checksum_file))) planned.checksum_file.clear();
    RunResult result = verify_folder(planned, run_options(), host);
    host.set_busy(false);
    std::string report = view_.report_path();
    // A report that could not be written is not shown: the viewer would show an older one.
    ReportFate fate = ReportFate::kUnwritten;
    if (write_report(report, result.report_text, host)) fate = show_report(report, result.report_text);
    outcome = run_outcome(counts_of(result), fate, report);
    host.show_held_errors();
  }
  // The progress text replaced the folder; put it back so that Verify can run again.
  set_label1(folder);
  show_outcome(outcome);

  view_.set_enabled(Control::kBtnBrowse, browse_enabled);
  view_.set_enabled(Control::kCheck3, mode_enabled);
  running_ = false;
}

// The options of the window's runs: the placeholders as ChkNfo says, and the reads in flight and
// the checking workers as the command line has them by default.
RunOptions Form1::run_options() {
  RunOptions options;
  options.create_nfo = view_.check_value(Control::kChkNfo) == CheckValue::kChecked;
  if (!read_ahead_) read_ahead_.emplace(platform::ReadAheadPool::kDefaultDepth);
  options.read_ahead = &*read_ahead_;
  const int jobs = default_jobs();
  if (jobs > 1) {  // else every check in the run's loop
    if (!workers_) workers_.emplace(jobs);
    options.job_pool = &*workers_;
  }
  return options;
}

ReportFate Form1::show_report(const std::string& path, const std::string& text) {
  if (view_.open_report(path)) return ReportFate::kOpened;
  view_.show_report_in_window(path, text);
  return ReportFate::kInWindow;
}

void Form1::show_outcome(const OutcomeLine& line) {
  view_.set_outcome(line.text, line.worst);
}

}  // namespace qn
