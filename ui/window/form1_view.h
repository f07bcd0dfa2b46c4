#pragma once
// What the window's logic (Form1) asks of a window: the controls' texts, check values and enabled
// states, the dialogs, the message box, the busy pointer, the event loop, and the desktop around
// it (where the report goes, how it is shown, the shell registration, ending the program). The
// Qt window, the Win32 window and the tests each implement it; nothing here knows a toolkit.
//
// Texts are bytes as the file system stores them (UTF-8 on both platforms); a view converts them
// to what its toolkit shows. A view never calls back into Form1 while Form1 changes a control:
// only the user's own clicks reach Form1's handlers.
#include <string>

namespace qn {

// The controls whose state Form1 reads or sets.
enum class Control { kCheck1, kCheck2, kChkNfo, kCheck3, kBtnBrowse, kBtnVerify };

// A check box's value: 0 unchecked, 1 checked, 2 greyed.
enum class CheckValue { kUnchecked = 0, kChecked = 1, kGreyed = 2 };

// The worst that a run found, in rising order: the colour of the outcome line.
enum class Outcome { kNone, kOk, kAdditional, kMissing, kFail };

// The colour of the outcome line as 0xRRGGBB: green, blue, amber, red; -1 for the window's own.
constexpr long outcome_rgb(Outcome worst) {
  switch (worst) {
    case Outcome::kOk: return 0x1a7f37;
    case Outcome::kAdditional: return 0x1f4e9c;
    case Outcome::kMissing: return 0xa85800;
    case Outcome::kFail: return 0xc01010;
    case Outcome::kNone: break;
  }
  return -1;
}

class Form1View {
 public:
  virtual ~Form1View() = default;

  // --- the window and its controls
  virtual void set_title(const std::string& title) = 0;
  virtual void show_window() = 0;
  // Label1's text: a prompt, a message, a folder, or the progress of a run (may hold line breaks).
  virtual void set_label1(const std::string& text) = 0;
  // Only the check boxes have a value.
  virtual CheckValue check_value(Control box) const = 0;
  virtual void set_check_value(Control box, CheckValue value) = 0;
  virtual bool is_enabled(Control control) const = 0;
  virtual void set_enabled(Control control, bool enabled) = 0;
  // The line under the controls that says how the last run went (empty: nothing to say), coloured
  // by `worst`.
  virtual void set_outcome(const std::string& text, Outcome worst) = 0;
  // btnVerify's caption: "Verify", or "Cancel" while a collection run goes on.
  virtual void set_verify_caption(const std::string& caption) = 0;

  // --- during a run
  // The hourglass pointer over the window, or the normal one.
  virtual void set_busy(bool busy) = 0;
  // Lets the window handle its pending events (paint, clicks, closing) and returns.
  virtual void yield() = 0;

  // --- dialogs
  // The folder dialog with `prompt` as its instruction, opening at `start_folder` where the toolkit
  // can: the chosen folder (native separators, no trailing separator unless a root), or the empty
  // text when cancelled.
  virtual std::string BrowseForFolder(const std::string& prompt, const std::string& start_folder) = 0;
  // The open-file dialog for checksum files, titled `prompt`, opening in `folder`, offering the one
  // filter "Quarnell Checksum Files (*.qn)": the chosen file's full path, or the empty text.
  virtual std::string OpenChecksumFileDialog(const std::string& prompt, const std::string& folder) = 0;
  // The error box with an OK button. With `offer_silence`, it also offers kSilenceErrorsText;
  // returns true when the user took that offer.
  virtual bool show_error_box(const std::string& title, const std::string& text, bool offer_silence) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool ask_yes_no(const std::string& title, const std::string& text) = 0;

  // --- the desktop around the window
  // Where the next report is written.
  virtual std::string report_path() = 0;
  // Shows the written report in the desktop's viewer without waiting for it; false when that
  // cannot be done.
  virtual bool open_report(const std::string& path) = 0;
  // Shows the report in the window's own view, where the desktop could not.
  virtual void show_report_in_window(const std::string& path, const std::string& text) = 0;
  // The folder Browse opens in when no folder was chosen yet.
  virtual std::string home_folder() = 0;
  // The shell registration of a start without argument; every failure is silent.
  virtual void register_shell() = 0;
  // Ends the program at once, without a message.
  virtual void end_program() = 0;
};

}  // namespace qn
