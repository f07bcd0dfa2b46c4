#include "cli/qnverify_app.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "base/paths.h"
#include "base/step_error.h"
#include "base/text.h"
#include "cli/cli_host.h"
#include "cli/collection_run.h"
#include "cli/create_command.h"
#include "cli/json_output.h"
#include "cli/kept_files.h"
#include "cli/path_list.h"
#include "cli/problem_lines.h"
#include "cli/progress.h"
#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/exit_status.h"
#include "engine/job_pool.h"
#include "engine/planned_folder.h"
#include "engine/verify.h"
#include "platform/file_access.h"
#include "platform/find_files.h"
#include "platform/output_file.h"
#include "platform/read_ahead.h"
#include "platform/terminal.h"
#include "platform/wide_text.h"

namespace fs = std::filesystem;

namespace qn::cli {

namespace {

struct Options {
  std::vector<std::string> paths;
  std::string qn;
  std::string report;
  bool no_id3v1 = false;
  bool no_id3v2 = false;
  bool create_nfo = false;
  bool images = false;
  bool recursive = false;
  bool summary_only = false;
  bool json = false;
  bool problems = false;
  bool null_separated = false;
  bool deep = false;
  bool hints = false;
  int jobs = default_jobs();
  int io_depth = platform::ReadAheadPool::kDefaultDepth;
  CreateRequest create;  // --create and its options
  bool creating = false;
};

// Ctrl-C: the shells' code for a program ended by SIGINT.
constexpr int kExitInterrupted = 130;

// Why a PATH cannot be verified: the exit status it gives alone, and the message.
struct Refusal {
  int status;
  std::string message;
};

// What a command line asks to verify, once the path has been looked at.
// The folder absolute, ending in the separator; no checksum file for a label run chosen by --images.
using Target = PlannedFolder;

// Messages name files: a name never reaches the terminal with its controls.
void say(const std::string& message) { std::cerr << "qnverify: " << text::printable_lines(message) << "\n"; }
// A failed step outside the runs: its error line.
void say_error(int number, const std::string& description, const std::string& context) {
  std::cerr << error_line("", number, description, context) << std::flush;
}

std::string absolute_text(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) abs = p;
  return abs.lexically_normal().string();
}

bool is_qn_file(const fs::path& p) { return text::iequals(p.extension().string(), ".qn"); }

// How long the folders below are counted for the hint; a whole disk is not walked for it.
constexpr std::chrono::milliseconds kHintCounting{1000};

// A second line, "use -r to verify the N folders below", when folders below `folder` hold
// checksum files; empty otherwise. Where counting them takes too long, "the many folders below".
std::string recursive_hint(const std::string& folder) {
  const auto deadline = std::chrono::steady_clock::now() + kHintCounting;
  bool out_of_time = false;
  // Past the deadline no folder is listed any more, so the walk ends at once.
  auto lister = [&](const std::string& f, std::vector<platform::SearchEntry>& entries, std::error_code& error) {
    if (out_of_time || std::chrono::steady_clock::now() > deadline) {
      out_of_time = true;
      error = std::make_error_code(std::errc::timed_out);
      return false;
    }
    return list_real_folder(f, entries, error);
  };
  int folders = 0;
  std::string last;
  for (const PlanItem& item : walk_collection(folder, lister)) {
    if (item.kind == ItemKind::kProblem || item.folder == last || item.folder == folder) continue;
    last = item.folder;
    ++folders;
  }
  if (out_of_time) return "\nqnverify: use -r to verify the many folders below";
  if (folders == 0) return "";
  return "\nqnverify: use -r to verify the " + (folders == 1 ? std::string("folder") : std::to_string(folders) + " folders") +
         " below";
}

std::string listed_names(const FileList& found) {
  std::string names;
  for (int i = 1; i <= file_count(found); ++i) names += "\n  " + text::printable(FileNameOfPath(found[i]));
  return names;
}

// Finds the folder and the checksum file of `path`; refuses it when nothing can be verified.
std::optional<Refusal> resolve_target(const Options& options, const std::string& path, Target& target) {
  std::error_code ec;
  const fs::path given = platform::native_path(path);
  fs::file_status status = fs::status(given, ec);
  std::string chosen_qn;
  if (fs::is_directory(status)) {
    target.folder = platform::AddBackslash(absolute_text(given));
  } else if (fs::exists(status)) {
    target.folder = FolderOfPath(absolute_text(given));
    if (is_qn_file(given)) chosen_qn = absolute_text(given);
  } else {
    return Refusal{kExitNothingVerified, "no such file or folder: " + path};
  }
  if (!options.qn.empty()) {
    fs::path qn = platform::native_path(options.qn);
    const fs::path in_folder = platform::native_path(target.folder) / qn;
    if (!fs::exists(qn, ec) && fs::exists(in_folder, ec)) qn = in_folder;
    if (!fs::is_regular_file(qn, ec)) {
      return Refusal{kExitNothingVerified, "checksum file not found: " + options.qn};
    }
    chosen_qn = absolute_text(qn);
  }
  FolderChoice choice = choose_checksum_file(target.folder, chosen_qn, options.images);
  switch (choice.choice) {
    case ChecksumChoice::kChosen: break;
    case ChecksumChoice::kNone:
      return Refusal{kExitNothingVerified, "No .qn file found in " + target.folder + recursive_hint(target.folder)};
    case ChecksumChoice::kSeveral:
      return Refusal{kExitUsage, std::string("the folder holds several ") + (options.images ? "label " : "") +
                                     "checksum files; choose one with --qn:" + listed_names(choice.found)};
  }
  target = std::move(choice.planned);
  return std::nullopt;
}

// Standard output as the reports and tables go there: the first failed write (a full disk, a
// closed stream, a reader that went away) is kept, and nothing more is tried after it.
class StandardOutput {
 public:
  void write(const std::string& text) {
    if (error_ != 0 || text.empty()) return;
    platform::set_stdout_binary();
    errno = 0;
    if (!platform::write_standard_output(platform_line_ends(text))) error_ = errno != 0 ? errno : kErrFileAccess;
  }
  int error() const { return error_; }

 private:
  int error_ = 0;
};

// What the command line verifies: the runs of every PATH in turn, each with the way its paths
// are shown, and the PATHs that could not be verified at all.
struct Plan {
  std::vector<PlanItem> items;        // refused PATHs among them as problems, in the order given
  std::vector<PathDisplay> displays;  // one per item
  std::vector<char> refused;          // one per item: a refused PATH, whose message was said
  bool several = false;  // more than one PATH: each is named in what is shown
};

// A PATH of the command line once looked at: what it names, or why it cannot be verified.
struct GivenPath {
  std::string path;
  Target target;  // with -r only its folder, the root
  std::optional<Refusal> refusal;
};

// What makes two PATHs one: their folders (and checksum files) by identity, not by name, so that
// "qnverify *.mp3" verifies the folder once.
struct PathKey {
  platform::FileIdentity folder;
  platform::FileIdentity checksum_file;
  bool labels = false;
  bool operator==(const PathKey&) const = default;
};

std::optional<PathKey> key_of(const Target& target) {
  PathKey key;
  key.labels = target.kind == ItemKind::kLabels;
  if (!platform::file_identity(target.folder, key.folder)) return std::nullopt;
  if (!target.checksum_file.empty() && !platform::file_identity(target.checksum_file, key.checksum_file))
    return std::nullopt;
  return key;
}

// The plan of a single-folder PATH: one run.
void plan_one_folder(const std::string& path, const Target& target, Plan& plan) {
  PlanItem item;
  static_cast<PlannedFolder&>(item) = target;
  plan.items.push_back(std::move(item));
  std::string shown = platform::folder_named_by(path);
  plan.displays.push_back({target.folder, plan.several ? shown : ""});
  plan.refused.push_back(0);
}

// The folder of `-r PATH`, the root of its walk.
std::optional<Refusal> resolve_root(const std::string& path, Target& target) {
  if (!platform::is_folder(path)) return Refusal{kExitNothingVerified, "no such folder: " + path};
  target.folder = platform::AddBackslash(absolute_text(platform::native_path(path)));
  return std::nullopt;
}

// The plan of `-r PATH`: every folder at or below PATH that holds a checksum file.
std::optional<Refusal> plan_collection(const std::string& path, const std::string& root, Plan& plan) {
  std::vector<PlanItem> items = walk_collection(root);
  if (items.empty()) return Refusal{kExitNothingVerified, "No .qn file found at or below " + root};
  for (PlanItem& item : items) {
    plan.items.push_back(std::move(item));
    plan.displays.push_back({root, plan.several ? platform::AddBackslash(path) : ""});
    plan.refused.push_back(0);
  }
  return std::nullopt;
}

// A refused PATH among several: a problem of the plan in its place, its message said now (with
// -q its ERROR line on standard output takes the place of the message).
void plan_refused(const Options& options, const std::string& path, const Refusal& refusal, Plan& plan) {
  const std::size_t line_end = refusal.message.find('\n');
  if (!options.problems || options.json) say(refusal.message);
  else if (line_end != std::string::npos) std::cerr << refusal.message.substr(line_end + 1) << "\n";
  PlanItem problem;
  problem.folder = path;
  problem.error_number = refusal.status == kExitUsage ? kErrInvalidArgument : kErrFileAccess;
  problem.message = refusal.message.substr(0, line_end);
  plan.items.push_back(std::move(problem));
  plan.displays.push_back({"", ""});
  plan.refused.push_back(1);
}

// Replaces every "-" among the PATHs with the paths read from standard input.
std::optional<int> expand_paths(Options& options) {
  std::vector<std::string> paths;
  for (const std::string& path : options.paths) {
    if (path != "-") {
      paths.push_back(path);
      continue;
    }
    platform::set_stdin_binary();
    std::string error;
    if (!read_path_list(std::cin, options.null_separated ? '\0' : '\n', paths, error)) {
      say(error);
      return kExitUsage;
    }
  }
  if (paths.empty()) {
    say("no PATH to verify: standard input held none");
    return kExitUsage;
  }
  options.paths = std::move(paths);
  return std::nullopt;
}

// Where a run's entries go: the lines of -q, the entries of --json, the names of the placeholders
// made, each as the entry is finished.
class EntryOutput : public EntrySink {
 public:
  EntryOutput(const Options& options, const PathDisplay& display, const std::string& folder, ItemStream& stream)
      : options_(options), display_(display), folder_(folder), stream_(stream) {}

  void begin(const RunResult& run) override {
    if (options_.json) stream_.out(json_run_head(run));
  }
  void entry(const EntryResult& entry) override {
    if (entry.status == EntryStatus::kPlaceholderCreated)
      stream_.hold(ItemStream::Held::kNotices,
                   "qnverify: created placeholder " + text::printable(display_.show(folder_ + entry.expected)) + "\n");
    if (options_.json) stream_.out(json_entry(entry, first_, options_.deep || options_.hints));
    else if (options_.problems) stream_.out(problem_line(entry, folder_, display_));
    first_ = false;
  }

 private:
  const Options& options_;
  const PathDisplay& display_;
  const std::string& folder_;
  ItemStream& stream_;
  bool first_ = true;
};

// What a command line prints while and after its runs are made.
class Output : public PlanOutput {
 public:
  Output(const Options& options, const Plan& plan, const KeptFiles& kept)
      : options_(options), plan_(plan), kept_(kept) {
    if (options_.json) out_.write(json_.head());
    // The reports go to the file as the runs are taken; it is put in place at the end.
    if (!options_.report.empty()) {
      platform::OutputRules rules;
      rules.kept = kept_.identities;
      report_file_.emplace(options_.report, rules);
    }
  }

  // The plan's runs count into this summary.
  Summary& summary() { return summary_; }

  std::unique_ptr<EntrySink> sink(std::size_t index, const PlanItem& item, ItemStream& stream) override {
    return std::make_unique<EntryOutput>(options_, plan_.displays[index], item.folder, stream);
  }

  void write(std::size_t index, bool to_stderr, const std::string& text) override {
    if (to_stderr) {
      platform::write_standard_error(text);
      return;
    }
    if (options_.json && open_run_ != index) {  // the run's head comes first
      out_.write(json_.before_run());
      open_run_ = index;
    }
    out_.write(text);
  }

  void take(std::size_t index, ItemOutcome& outcome) override {
    const PathDisplay& display = plan_.displays[index];
    if (plan_.refused[index]) outcome.error_text.clear();  // said when the PATH was refused
    // In the problems-only output the failed steps are ERROR lines on standard output instead.
    if (!outcome.error_text.empty() && !options_.problems) platform::write_standard_error(outcome.error_text);
    if (!outcome.notice_text.empty()) platform::write_standard_error(outcome.notice_text);
    const bool streamed = open_run_ == index;  // a run object was begun
    if (outcome.interrupted) {  // nothing of it is counted; the document stays whole
      if (streamed) out_.write(json_run_tail(outcome.result, true));
      return;
    }
    if (!outcome.ran) {
      if (streamed) out_.write(json_run_tail(outcome.result, true));
      if (options_.json) json_.add_problem(outcome.item);
      if (options_.problems && !options_.json) out_.write(problem_lines(outcome.item, display));
      return;
    }
    if (options_.json) {
      if (!streamed) out_.write(json_.before_run() + json_run_head(outcome.result));
      out_.write(json_run_tail(outcome.result, outcome.result.tally.entries > 0));
    } else if (options_.problems) {
      out_.write(problem_lines(outcome.result, display));
    } else if (!options_.summary_only) {
      out_.write(outcome.result.report_text);
    }
    if (report_file_) report_file_->append(outcome.result.report_text);
  }

  // After Ctrl-C (`interrupted`) the same as after the whole plan, with what was verified so far
  // and exit status kExitInterrupted.
  int finish(bool interrupted) {
    int status = summary_.exit_status();
    if (!options_.report.empty()) status = write_report_file(status);
    if (interrupted) {
      status = kExitInterrupted;
      say("interrupted: what follows counts only the folders verified before");
    }
    if (options_.json) {
      out_.write(json_.tail(summary_, status));
      return with_output_error(status);
    }
    if (options_.summary_only || (!options_.problems && (options_.recursive || plan_.several)))
      out_.write(summary_.text());
    if (options_.problems || options_.summary_only) out_.write(tally_line(summary_));
    else if (interrupted || platform::stderr_is_terminal()) std::cerr << tally_line(summary_) << std::flush;
    return with_output_error(status);
  }

 private:
  // The reports for --report; a file the runs read that has come to stand at the name since the
  // start is refused as it would have been then. A failure on the way is reported here, once.
  int write_report_file(int status) {
    const std::optional<platform::OutputError> failed = report_file_->commit();
    if (!failed) return status;
    if (failed->kept_file) {
      say("--report would replace a file that the run reads: " + text::printable(kept_file_at(kept_, options_.report)) +
          "; nothing was written");
      return kExitUsage;
    }
    say_error(failed->number, "Writing the report failed: " + failed->reason, options_.report);
    return status == kExitNothingVerified ? status : (status | kExitStepError);
  }

  // A failed write of standard output is an error line and flag 8.
  int with_output_error(int status) {
    if (out_.error() != 0) {
      say_error(out_.error(), std::string("Writing standard output failed: ") + std::strerror(out_.error()), "");
      if (status != kExitNothingVerified && status != kExitInterrupted) status |= kExitStepError;
    }
    return status;
  }

  const Options& options_;
  const Plan& plan_;
  const KeptFiles& kept_;  // what --report may not replace
  Summary summary_;
  JsonDocument json_;
  std::optional<platform::NewFileInPlace> report_file_;  // for --report
  StandardOutput out_;
  std::size_t open_run_ = static_cast<std::size_t>(-1);  // the item whose run object was begun last
};

// Job counts: a number from 1 to kMostJobs.
std::string check_jobs(std::string& input) {
  if (input.empty() || input.find_first_not_of("0123456789") != std::string::npos)
    return "\"" + input + "\" is not a number";
  if (input.size() > 3 || std::stoi(input) < 1 || std::stoi(input) > kMostJobs)
    return input + " is not between 1 and " + std::to_string(kMostJobs);
  return "";
}

// The help fits 80 columns: option names in the first kNameColumn, their words wrapped after.
constexpr std::size_t kHelpWidth = 80;
constexpr std::size_t kNameColumn = 26;

// `text` with line feeds between words, so that no line is wider than `width`.
std::string wrapped(const std::string& text, std::size_t width) {
  std::string out, line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = end + 1;
  }
  return out + line;
}

const char* const kHelpFooter = R"(
What an OK means:
  The check the checksum file allows compares each track's length, its first
  and last blocks of audio and its tag sums; it reads some kilobytes of a track.
  OK: the track is complete, starts and ends as listed, its tags are the ones
  listed. A byte changed in the middle of a track reads OK. --deep reads every
  byte and checks what the track carries itself (FLAC: frame CRCs and MD5; MP3:
  the frame chain, the encoder's music CRC, protected frames), so such damage is
  found where those checks cover it; "content unchecked": the MP3 carries no
  check and only its frames were walked.

Exit status, flags added up:
  0   everything is OK
  1   some entry failed (FAIL, an ID3 check fails, no verdict)
  2   some entry is MISSING
  4   some file is additional (named by no checksum line)
  8   some step failed
  64  usage error
  66  nothing could be verified
  130 interrupted (Ctrl-C): the reports so far, then their tally

Examples:
  qnverify "/music/Quarnell 1964 Top 6"
      print the folder's report
  qnverify -q -r /music
      only the problems of every folder below /music, then a tally
  qnverify --deep -q -r /music
      the same, every track also read whole and checked
  find /music -name '*1964*' -type d -print0 | qnverify -0 --summary -
      the folders find names, as a summary table
)";

void add_options(CLI::App& app, Options& options) {
  app.add_option("PATH", options.paths,
                 "Folders, or files inside them (.mp3, .jpg, .qn); with -r, top folders; - reads them from standard input")
      ->type_name("");
  app.add_flag("--no-id3v1", options.no_id3v1, "Do not check the ID3v1 tags");
  app.add_flag("--no-id3v2", options.no_id3v2, "Do not check the ID3v2 tag regions");
  app.add_flag("--create-nfo", options.create_nfo, "Create missing .nfo placeholder files");
  app.add_option("--qn", options.qn, "The checksum file to use when the folder holds several")->type_name("FILE");
  app.add_option("--report", options.report, "Also write the report(s) to this file")->type_name("FILE");
  app.add_flag("--images", options.images, "Verify the label images against the *Labels.qn file");
  app.add_flag("--deep", options.deep,
               "Also read each track whole and check it against its own checks (see below)");
  app.add_flag("--hints", options.hints, "After each FAIL, say what it most likely means (on with --deep)");
  app.add_flag("-r,--recursive", options.recursive,
               "Verify every folder at or below PATH that holds a checksum file, then print a summary");
  CLI::Option* problems = app.add_flag("-q,--problems", options.problems,
                                       "Print only what needs attention, one line each, then a tally");
  CLI::Option* summary = app.add_flag("--summary", options.summary_only, "Print only the summary table and the tally");
  app.add_flag("--json", options.json, "Print one JSON document instead of the reports")->excludes(summary)->excludes(problems);
  app.add_flag("-0,--null", options.null_separated, "Paths read from standard input (-) are separated by NUL bytes");
  app.add_option("-j,--jobs", options.jobs, "Folders verified, and files checked, at the same time (default: processors, at most 4)")
      ->check(CLI::Validator(check_jobs, ""))
      ->type_name("N");
  app.add_option("--io-depth", options.io_depth,
                 "File reads in flight at most, over all folders (default: " +
                     std::to_string(platform::ReadAheadPool::kDefaultDepth) + "; 1: each file is read by its check alone)")
      ->check(CLI::Range(1, platform::ReadAheadPool::kMostDepth))
      ->type_name("N");
  CLI::Option* create = app.add_flag("--create", options.creating,
                                     "Write checksum lines for the folder's files instead of verifying it "
                                     "(with --images: label lines)");
  app.add_flag("--five", options.create.five_values, "With --create: MP3 lines with five values, not six")
      ->needs(create);
  app.add_option("--output", options.create.output, "With --create: write the lines to this new file")
      ->needs(create)
      ->type_name("FILE");
  app.add_flag("--force", options.create.force, "With --output: replace an existing file")->needs(create);
  app.set_version_flag("--version", std::string("qnverify (Quarnell Verify ") + kVersionText + ") " + kRevisionText);
  app.footer(kHelpFooter);
  app.get_formatter()->column_width(kNameColumn);
  for (CLI::Option* option : app.get_options())
    option->description(wrapped(option->get_description(), kHelpWidth - kNameColumn - 1));
}

// After a usage error: a PATH that starts with "-" and names something here needs "--" before it.
void hint_double_dash(const std::vector<std::string>& args) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    std::error_code ec;
    if (arg.size() > 1 && arg[0] == '-' && fs::exists(platform::native_path(arg), ec))
      say("\"" + arg + "\" names a file or folder; to verify it, put -- before it: qnverify -- " + arg);
  }
}

// The edit distance of two option names (insertions, deletions, changes, each 1).
std::size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// After a usage error: the known long option nearest to an unknown one, when it is near enough.
void suggest_option(const CLI::App& app, const std::vector<std::string>& args) {
  std::vector<std::string> known;
  for (const CLI::Option* option : app.get_options())
    for (const std::string& name : option->get_lnames()) known.push_back(name);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg.size() < 4 || arg.compare(0, 2, "--") != 0) continue;
    const std::string name = arg.substr(2, arg.find('=') == std::string::npos ? std::string::npos : arg.find('=') - 2);
    if (std::find(known.begin(), known.end(), name) != known.end()) continue;
    const std::string* best = nullptr;
    std::size_t best_distance = 3;  // farther is a different word
    for (const std::string& candidate : known) {
      const std::size_t distance = edit_distance(name, candidate);
      if (distance < best_distance && distance < candidate.size() / 2) {
        best = &candidate;
        best_distance = distance;
      }
    }
    if (best != nullptr) say(text::printable(arg) + ": did you mean --" + *best + "?");
  }
}

// The parse of the command line into `options`; an exit status when the program ends here (--help,
// --version, a usage error, no PATH).
std::optional<int> parse_command_line(CLI::App& app, const std::vector<std::string>& args, Options& options) {
  app.name("qnverify");
  // Options are written "--name" everywhere; on Windows a path such as "/music/x" must stay a path.
  app.allow_windows_style_options(false);
  add_options(app, options);
  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {  // --help, --version
      const int status = app.exit(e) == 0 ? kExitOk : kExitUsage;
      if (std::cout.flush()) return status;
      say("Writing standard output failed");
      return kExitStepError;
    }
    say(e.what());
    suggest_option(app, args);
    hint_double_dash(args);
    say("see qnverify --help");
    return kExitUsage;
  }
  // Checked after the parse, so that an unknown option is named before a missing PATH.
  if (options.paths.empty()) {
    say("PATH is required");
    say("see qnverify --help");
    return kExitUsage;
  }
  return std::nullopt;
}

// --create: the checksum lines of one folder, with none of the verification's options.
int run_create_checked(const CLI::App& app, Options& options) {
  for (const char* other : {"--no-id3v1", "--no-id3v2", "--create-nfo", "--qn", "--report", "--recursive",
                            "--problems", "--summary", "--json", "--jobs", "--io-depth", "--deep", "--hints"}) {
    if (app.get_option(other)->count() > 0) {
      say(std::string(other) + " is an option of the verification; it cannot be used with --create");
      return kExitUsage;
    }
  }
  if (options.paths.size() != 1) {
    say("--create writes the checksum lines of one folder: give one PATH");
    return kExitUsage;
  }
  options.create.path = options.paths.front();
  options.create.images = options.images;
  return run_create(options.create);
}

// The PATHs in the order given, each looked at, each folder once.
std::vector<GivenPath> look_at_paths(const Options& options) {
  std::vector<GivenPath> given;
  std::vector<PathKey> seen;
  for (const std::string& path : options.paths) {
    GivenPath g{path, {}, {}};
    g.refusal = options.recursive ? resolve_root(path, g.target) : resolve_target(options, path, g.target);
    if (!g.refusal) {
      if (std::optional<PathKey> key = key_of(g.target)) {
        if (std::find(seen.begin(), seen.end(), *key) != seen.end()) continue;
        seen.push_back(*key);
      }
    }
    given.push_back(std::move(g));
  }
  return given;
}

// The plan of the PATHs given; a refused PATH alone ends the program with its exit status.
std::optional<int> make_plan(const Options& options, const std::vector<GivenPath>& given, Plan& plan) {
  plan.several = given.size() > 1;
  for (const GivenPath& g : given) {
    std::optional<Refusal> refusal = g.refusal;
    if (!refusal) {
      if (!options.recursive) plan_one_folder(g.path, g.target, plan);
      else refusal = plan_collection(g.path, g.target.folder, plan);
    }
    if (!refusal) continue;
    plan_refused(options, g.path, *refusal, plan);
    if (plan.several) continue;
    if (options.problems) {  // -q promises an ERROR line for every PATH that cannot be verified
      StandardOutput out;
      out.write(problem_lines(plan.items.back(), plan.displays.back()));
    }
    return refusal->status;
  }
  return std::nullopt;
}

// What --report may not replace: the files the plan's runs read.
std::optional<int> keep_read_files(const Options& options, const Plan& plan, KeptFiles& kept) {
  if (options.report.empty()) return std::nullopt;
  kept = files_read_by(plan.items);
  const std::string clash = kept_file_at(kept, options.report);
  if (clash.empty()) return std::nullopt;
  say("--report would replace a file that the run reads: " + text::printable(clash));
  return kExitUsage;
}

// The plan's runs, their output and the exit status.
int verify_plan(const Options& options, const Plan& plan, const KeptFiles& kept) {
  RunSettings settings;
  settings.id3v1 = !options.no_id3v1;
  settings.id3v2 = !options.no_id3v2;
  settings.run.create_nfo = options.create_nfo;
  settings.jobs = options.jobs;
  settings.prefix_errors = options.recursive || plan.several;
  settings.show_progress = (options.recursive || plan.several) && platform::stderr_is_terminal();
  std::optional<platform::ReadAheadPool> read_ahead;
  if (options.io_depth > 1) read_ahead.emplace(options.io_depth);
  settings.run.read_ahead = read_ahead ? &*read_ahead : nullptr;
  settings.errors_in_outcome = !options.problems;
  settings.run.deep_check = options.deep;
  settings.run.hints = options.hints;
  // The checks of all runs share these workers: one file each at a time.
  std::optional<JobPool> job_pool;
  if (options.jobs > 1) job_pool.emplace(options.jobs);
  settings.run.job_pool = job_pool ? &*job_pool : nullptr;
  Output output(options, plan, kept);
  platform::catch_interrupt();
  run_plan(plan.items, settings, output, output.summary());
  return output.finish(platform::interrupted());
}

}  // namespace

std::vector<std::string> qnverify_option_names() {
  CLI::App app;
  Options options;
  add_options(app, options);
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  }
  return names;
}

int run_qnverify(const std::vector<std::string>& args) {
  CLI::App app{"qnverify: verifies Quarnell collection folders against their .qn checksum\n"
               "files and prints the verification reports."};
  Options options;
  if (std::optional<int> status = parse_command_line(app, args, options)) return *status;
  if (std::optional<int> status = expand_paths(options)) return *status;
  if (options.creating) return run_create_checked(app, options);
  if (options.recursive && (!options.qn.empty() || options.images)) {
    say("--qn and --images choose the checksum file of one folder; they cannot be used with -r");
    return kExitUsage;
  }
  Plan plan;
  if (std::optional<int> status = make_plan(options, look_at_paths(options), plan)) return *status;
  KeptFiles kept;
  if (std::optional<int> status = keep_read_files(options, plan, kept)) return *status;
  return verify_plan(options, plan, kept);
}

}  // namespace qn::cli
