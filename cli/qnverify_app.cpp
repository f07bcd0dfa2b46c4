#include "cli/qnverify_app.h"

#include <CLI/CLI.hpp>

#include <cerrno>
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
#include "engine/job_pool.h"
#include "engine/exit_status.h"
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
  int io_depth = ReadAheadPool::kDefaultDepth;
  CreateRequest create;  // --create and its options
  bool creating = false;
};

// Why a PATH cannot be verified: the exit status it gives alone, and the message.
struct Refusal {
  int status;
  std::string message;
};

// What a command line asks to verify, once the path has been looked at.
struct Target {
  std::string folder;         // absolute, ending in the separator
  std::string checksum_file;  // empty for a label run chosen by --images
  bool labels = false;
};

// Messages name files: a name never reaches the terminal with its controls.
void say(const std::string& message) { std::cerr << "qnverify: " << text::printable_lines(message) << "\n"; }

std::string absolute_text(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) abs = p;
  return abs.lexically_normal().string();
}

bool is_qn_file(const fs::path& p) { return text::iequals(p.extension().string(), ".qn"); }

// A second line, "use -r to verify the N folders below", when folders below `folder` hold
// checksum files; empty otherwise.
std::string recursive_hint(const std::string& folder) {
  int folders = 0;
  std::string last;
  for (const PlanItem& item : walk_collection(folder)) {
    if (item.kind == ItemKind::kProblem || item.folder == last || item.folder == folder) continue;
    last = item.folder;
    ++folders;
  }
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
    target.folder = AddBackslash(absolute_text(given));
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
  if (options.images && chosen_qn.empty()) {
    FileList found = FindFiles(target.folder, "*Labels.qn", false);
    if (file_count(found) > 1) {
      return Refusal{kExitUsage,
                     "the folder holds several label checksum files; choose one with --qn:" + listed_names(found)};
    }
  }
  if (options.images) {
    target.labels = true;
    target.checksum_file = chosen_qn;
    return std::nullopt;
  }
  if (chosen_qn.empty()) {
    FileList found = FindFiles(target.folder, "*.qn", false);
    if (file_count(found) < 1) {
      return Refusal{kExitNothingVerified, "No .qn file found in " + target.folder + recursive_hint(target.folder)};
    }
    if (file_count(found) > 1) {
      return Refusal{kExitUsage, "the folder holds several checksum files; choose one with --qn:" + listed_names(found)};
    }
    chosen_qn = found[1];
  }
  target.checksum_file = chosen_qn;
  target.labels = text::contains(FileNameOfPath(chosen_qn), "Labels.qn");
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
  std::vector<PlanItem> items;
  std::vector<PathDisplay> displays;  // one per item
  std::vector<PlanItem> refused;
  bool several = false;  // more than one PATH: each is named in what is shown
};

// The plan of a single-folder PATH: one run.
std::optional<Refusal> plan_one_folder(const Options& options, const std::string& path, Plan& plan) {
  Target target;
  if (std::optional<Refusal> refusal = resolve_target(options, path, target)) return refusal;
  PlanItem item;
  item.kind = target.labels ? ItemKind::kLabels : ItemKind::kAudio;
  item.folder = target.folder;
  item.checksum_file = target.checksum_file;
  plan.items.push_back(std::move(item));
  std::string shown = folder_named_by(path);
  plan.displays.push_back({target.folder, plan.several ? shown : ""});
  return std::nullopt;
}

// The plan of `-r PATH`: every folder at or below PATH that holds a checksum file.
std::optional<Refusal> plan_collection(const std::string& path, Plan& plan) {
  if (!is_folder(path)) return Refusal{kExitNothingVerified, "no such folder: " + path};
  std::string root = AddBackslash(absolute_text(platform::native_path(path)));
  std::vector<PlanItem> items = walk_collection(root);
  if (items.empty()) return Refusal{kExitNothingVerified, "No .qn file found at or below " + root};
  for (PlanItem& item : items) {
    plan.items.push_back(std::move(item));
    plan.displays.push_back({root, plan.several ? AddBackslash(path) : ""});
  }
  return std::nullopt;
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
      OutputRules rules;
      rules.kept = kept_.identities;
      report_file_.emplace(options_.report, rules);
    }
  }

  void add_refused(const PlanItem& problem) {
    summary_.add_problem(problem);
    if (options_.json) json_.add_problem(problem);
  }

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
    // In the problems-only output the failed steps are ERROR lines on standard output instead.
    if (!outcome.error_text.empty() && !options_.problems) platform::write_standard_error(outcome.error_text);
    if (!outcome.notice_text.empty()) platform::write_standard_error(outcome.notice_text);
    const bool streamed = open_run_ == index;  // a run object was begun
    if (!outcome.ran) {
      if (streamed) out_.write(json_run_tail(outcome.result, true));
      add_refused(outcome.item);
      if (options_.problems && !options_.json) out_.write(problem_lines(outcome.item, display));
      return;
    }
    summary_.add_run(outcome.result);
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

  int finish() {
    int status = summary_.exit_status();
    if (!options_.report.empty()) status = write_report_file(status);
    if (options_.json) {
      out_.write(json_.tail(summary_, status));
      return with_output_error(status);
    }
    if (options_.summary_only || (!options_.problems && (options_.recursive || plan_.several)))
      out_.write(summary_.text());
    if (options_.problems || options_.summary_only) out_.write(tally_line(summary_));
    else if (platform::stderr_is_terminal()) std::cerr << tally_line(summary_) << std::flush;
    return with_output_error(status);
  }

 private:
  // The reports for --report; a file the runs read that has come to stand at the name since the
  // start is refused as it would have been then. A failure on the way is reported here, once.
  int write_report_file(int status) {
    const std::optional<OutputError> failed = report_file_->commit();
    if (!failed) return status;
    if (failed->kept_file) {
      say("--report would replace a file that the run reads: " + text::printable(kept_file_at(kept_, options_.report)) +
          "; nothing was written");
      return kExitUsage;
    }
    CliHost host(true, true);
    host.show_error(failed->number, "Writing the report failed: " + failed->reason, options_.report);
    return status == kExitNothingVerified ? status : (status | kExitStepError);
  }

  // A failed write of standard output is an error line and flag 8.
  int with_output_error(int status) {
    if (out_.error() != 0) {
      CliHost host(true, true);
      host.show_error(out_.error(), std::string("Writing standard output failed: ") + std::strerror(out_.error()), "");
      if (status != kExitNothingVerified) status |= kExitStepError;
    }
    return status;
  }

  const Options& options_;
  const Plan& plan_;
  const KeptFiles& kept_;  // what --report may not replace
  Summary summary_;
  JsonDocument json_;
  std::optional<NewFileInPlace> report_file_;  // for --report
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

const char* const kHelpFooter = R"(
What an OK means:
  The check the checksum file allows compares each track's length, its first and last blocks of
  audio and its tag sums; it reads some kilobytes of a track. OK: the track is complete, starts and
  ends as listed, its tags are the ones listed. A byte changed in the middle of a track reads OK.
  --deep reads every byte and checks what the track carries itself (FLAC: frame CRCs and MD5; MP3:
  the frame chain, the encoder's music CRC, protected frames), so such damage is found where those
  checks cover it; "content unchecked": the MP3 carries no check and only its frames were walked.

Exit status, flags added up:
  0  everything is OK          1  some entry failed (FAIL, an ID3 check fails, no verdict)
  2  some entry is MISSING     4  some file is additional (named by no checksum line)
  8  some step failed          64 usage error        66 nothing could be verified

Examples:
  qnverify "/music/Quarnell 1964 Top 6"     print the folder's report
  qnverify -q -r /music                     only the problems of every folder below /music, then a tally
  qnverify --deep -q -r /music              the same, every track also read whole and checked
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
                     std::to_string(ReadAheadPool::kDefaultDepth) + "; 1: each file is read by its check alone)")
      ->check(CLI::Range(1, ReadAheadPool::kMostDepth))
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

}  // namespace

int run_qnverify(const std::vector<std::string>& args) {
  CLI::App app{"qnverify: verifies Quarnell collection folders against their .qn checksum files "
               "and prints the verification reports."};
  app.name("qnverify");
  // Options are written "--name" everywhere; on Windows a path such as "/music/x" must stay a path.
  app.allow_windows_style_options(false);
  Options options;
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
  if (std::optional<int> status = expand_paths(options)) return *status;
  if (options.creating) {
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
  if (options.recursive && (!options.qn.empty() || options.images)) {
    say("--qn and --images choose the checksum file of one folder; they cannot be used with -r");
    return kExitUsage;
  }

  Plan plan;
  plan.several = options.paths.size() > 1;
  for (const std::string& path : options.paths) {
    std::optional<Refusal> refusal =
        options.recursive ? plan_collection(path, plan) : plan_one_folder(options, path, plan);
    if (!refusal) continue;
    say(refusal->message);
    if (!plan.several) return refusal->status;
    PlanItem problem;
    problem.folder = path;
    problem.error_number = refusal->status == kExitUsage ? kErrInvalidArgument : kErrFileAccess;
    problem.message = refusal->message.substr(0, refusal->message.find('\n'));
    plan.refused.push_back(std::move(problem));
  }
  KeptFiles kept;
  if (!options.report.empty()) {
    kept = files_read_by(plan.items);
    const std::string clash = kept_file_at(kept, options.report);
    if (!clash.empty()) {
      say("--report would replace a file that the run reads: " + text::printable(clash));
      return kExitUsage;
    }
  }

  RunSettings settings;
  settings.id3v1 = !options.no_id3v1;
  settings.id3v2 = !options.no_id3v2;
  settings.create_nfo = options.create_nfo;
  settings.jobs = options.jobs;
  settings.prefix_errors = options.recursive || plan.several;
  settings.show_progress = (options.recursive || plan.several) && platform::stderr_is_terminal();
  std::optional<ReadAheadPool> read_ahead;
  if (options.io_depth > 1) read_ahead.emplace(options.io_depth);
  settings.read_ahead = read_ahead ? &*read_ahead : nullptr;
  settings.errors_in_outcome = !options.problems;
  settings.deep = options.deep;
  settings.hints = options.hints;
  // The checks of all runs share these workers: one file each at a time.
  std::optional<JobPool> job_pool;
  if (options.jobs > 1) job_pool.emplace(options.jobs);
  settings.job_pool = job_pool ? &*job_pool : nullptr;
  Output output(options, plan, kept);
  for (const PlanItem& problem : plan.refused) output.add_refused(problem);
  run_plan(plan.items, settings, output);
  return output.finish();
}

}  // namespace qn::cli
