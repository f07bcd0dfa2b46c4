#include "cli/qnverify_app.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "base/paths.h"
#include "base/text.h"
#include "cli/cli_host.h"
#include "cli/collection_run.h"
#include "cli/create_command.h"
#include "cli/json_output.h"
#include "cli/progress.h"
#include "engine/collection_summary.h"
#include "engine/collection_walk.h"
#include "engine/exit_status.h"
#include "engine/verify.h"
#include "platform/find_files.h"
#include "platform/read_ahead.h"
#include "platform/terminal.h"

namespace fs = std::filesystem;

namespace qn::cli {

namespace {

struct Options {
  std::string path;
  std::string qn;
  std::string report;
  bool no_id3v1 = false;
  bool no_id3v2 = false;
  bool create_nfo = false;
  bool images = false;
  bool recursive = false;
  bool summary_only = false;
  bool json = false;
  int jobs = default_jobs();
  int io_depth = ReadAheadPool::kDefaultDepth;
  CreateRequest create;  // --create and its options
  bool creating = false;
};

// What a command line asks to verify, once the path has been looked at.
struct Target {
  std::string folder;         // absolute, ending in the separator
  std::string checksum_file;  // empty for a label run chosen by --images
  bool labels = false;
};

void say(const std::string& message) { std::cerr << "qnverify: " << message << "\n"; }

std::string absolute_text(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) abs = p;
  return abs.lexically_normal().string();
}

bool is_qn_file(const fs::path& p) { return text::iequals(p.extension().string(), ".qn"); }

// Finds the folder and the checksum file; returns an exit status when nothing can be verified.
std::optional<int> resolve_target(const Options& options, Target& target) {
  std::error_code ec;
  fs::path given(options.path);
  fs::file_status status = fs::status(given, ec);
  std::string chosen_qn;
  if (fs::is_directory(status)) {
    target.folder = AddBackslash(absolute_text(given));
  } else if (fs::exists(status)) {
    target.folder = FolderOfPath(absolute_text(given));
    if (is_qn_file(given)) chosen_qn = absolute_text(given);
  } else {
    say("no such file or folder: " + options.path);
    return kExitNothingVerified;
  }
  if (!options.qn.empty()) {
    fs::path qn(options.qn);
    if (!fs::exists(qn, ec) && fs::exists(fs::path(target.folder) / qn, ec)) qn = fs::path(target.folder) / qn;
    if (!fs::is_regular_file(qn, ec)) {
      say("checksum file not found: " + options.qn);
      return kExitNothingVerified;
    }
    chosen_qn = absolute_text(qn);
  }
  if (options.images) {
    target.labels = true;
    target.checksum_file = chosen_qn;
    return std::nullopt;
  }
  if (chosen_qn.empty()) {
    FileList found = FindFiles(target.folder, "*.qn", false);
    if (file_count(found) < 1) {
      say("No .qn file found in " + target.folder);
      return kExitNothingVerified;
    }
    if (file_count(found) > 1) {
      std::string names;
      for (int i = 1; i <= file_count(found); ++i) names += "\n  " + FileNameOfPath(found[i]);
      say("the folder holds several checksum files; choose one with --qn:" + names);
      return kExitUsage;
    }
    chosen_qn = found[1];
  }
  target.checksum_file = chosen_qn;
  target.labels = text::contains(FileNameOfPath(chosen_qn), "Labels.qn");
  return std::nullopt;
}

void write_stdout(const std::string& text) {
  platform::set_stdout_binary();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// The plan of a single-folder command line: one run.
std::optional<int> plan_one_folder(const Options& options, std::vector<PlanItem>& plan) {
  Target target;
  if (std::optional<int> status = resolve_target(options, target)) return status;
  PlanItem item;
  item.kind = target.labels ? ItemKind::kLabels : ItemKind::kAudio;
  item.folder = target.folder;
  item.checksum_file = target.checksum_file;
  plan.push_back(std::move(item));
  return std::nullopt;
}

// The plan of `-r PATH`: every folder at or below PATH that holds a checksum file.
std::optional<int> plan_collection(const Options& options, std::vector<PlanItem>& plan) {
  if (!options.qn.empty() || options.images) {
    say("--qn and --images choose the checksum file of one folder; they cannot be used with -r");
    return kExitUsage;
  }
  std::error_code ec;
  if (!fs::is_directory(options.path, ec)) {
    say("no such folder: " + options.path);
    return kExitNothingVerified;
  }
  std::string root = AddBackslash(absolute_text(options.path));
  plan = walk_collection(root);
  if (plan.empty()) {
    say("No .qn file found at or below " + root);
    return kExitNothingVerified;
  }
  return std::nullopt;
}

// What a command line prints while and after its runs are made.
struct Output {
  const Options& options;
  Summary summary;
  JsonDocument json;
  std::string report_texts;  // for --report

  void Take(ItemOutcome& outcome) {
    if (!outcome.error_text.empty()) {
      std::fwrite(outcome.error_text.data(), 1, outcome.error_text.size(), stderr);
      std::fflush(stderr);
    }
    if (!outcome.ran) {
      summary.add_problem(outcome.item);
      if (options.json) json.add_problem(outcome.item);
      return;
    }
    summary.add_run(outcome.result);
    if (options.json) json.add_run(outcome.result);
    else if (!options.summary_only) write_stdout(outcome.result.report_text);
    if (!options.report.empty()) report_texts += outcome.result.report_text;
  }

  int finish() {
    int status = summary.ExitStatus();
    if (!options.report.empty()) {
      CliHost host(true, true);
      if (!write_report(options.report, report_texts, host))
        status = status == kExitNothingVerified ? status : (status | kExitStepError);
    }
    if (options.json) write_stdout(json.text(summary, status));
    else if (options.recursive || options.summary_only) write_stdout(summary.text());
    return status;
  }
};

void add_options(CLI::App& app, Options& options) {
  app.add_option("PATH", options.path, "A folder, or a file inside one (.mp3, .jpg, .qn); with -r, the top folder")
      ->required();
  app.add_flag("--no-id3v1", options.no_id3v1, "Do not check the ID3v1 tags");
  app.add_flag("--no-id3v2", options.no_id3v2, "Do not check the ID3v2 tag regions");
  app.add_flag("--create-nfo", options.create_nfo, "Create missing .nfo placeholder files");
  app.add_option("--qn", options.qn, "The checksum file to use when the folder holds several");
  app.add_option("--report", options.report, "Also write the report(s) to this file");
  app.add_flag("--images", options.images, "Verify the label images against the *Labels.qn file");
  app.add_flag("-r,--recursive", options.recursive,
               "Verify every folder at or below PATH that holds a checksum file, then print a summary");
  CLI::Option* summary = app.add_flag("--summary", options.summary_only, "Print only the summary table");
  app.add_flag("--json", options.json, "Print one JSON document instead of the reports")->excludes(summary);
  app.add_option("-j,--jobs", options.jobs, "Folders verified at the same time with -r (default: processors, at most 4)")
      ->check(CLI::Range(1, 256));
  app.add_option("--io-depth", options.io_depth,
                 "File reads in flight at most, over all folders (default: " +
                     std::to_string(ReadAheadPool::kDefaultDepth) + "; 1: each file is read by its check alone)")
      ->check(CLI::Range(1, ReadAheadPool::kMostDepth));
  CLI::Option* create = app.add_flag("--create", options.creating,
                                     "Write checksum lines for the folder's files instead of verifying it "
                                     "(with --images: label lines)");
  app.add_flag("--five", options.create.five_values, "With --create: MP3 lines with five values, not six")
      ->needs(create);
  app.add_option("--output", options.create.output, "With --create: write the lines to this new file")
      ->needs(create);
  app.add_flag("--force", options.create.force, "With --output: replace an existing file")->needs(create);
  app.set_version_flag("--version", std::string("qnverify (Quarnell Verify ") + kVersionText + ") " + kRevisionText);
}

}  // namespace

int run_qnverify(const std::vector<std::string>& args) {
  CLI::App app{"qnverify: verifies a Quarnell collection folder against its .qn checksum file "
               "and prints the verification report."};
  app.name("qnverify");
  // Options are written "--name" everywhere; on Windows a path such as "/music/x" must stay a path.
  app.allow_windows_style_options(false);
  Options options;
  add_options(app, options);
  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }

  if (options.creating) {
    for (const char* other : {"--no-id3v1", "--no-id3v2", "--create-nfo", "--qn", "--report", "--recursive",
                              "--summary", "--json", "--jobs"}) {
      if (app.get_option(other)->count() > 0) {
        say(std::string(other) + " is an option of the verification; it cannot be used with --create");
        return kExitUsage;
      }
    }
    options.create.path = options.path;
    options.create.images = options.images;
    return run_create(options.create);
  }

  std::vector<PlanItem> plan;
  std::optional<int> early = options.recursive ? plan_collection(options, plan) : plan_one_folder(options, plan);
  if (early) return *early;

  RunSettings settings;
  settings.id3v1 = !options.no_id3v1;
  settings.id3v2 = !options.no_id3v2;
  settings.create_nfo = options.create_nfo;
  settings.jobs = options.recursive ? options.jobs : 1;
  settings.prefix_errors = options.recursive;
  settings.show_progress = options.recursive && stderr_is_terminal();
  std::optional<ReadAheadPool> read_ahead;
  if (options.io_depth > 1) read_ahead.emplace(options.io_depth);
  settings.read_ahead = read_ahead ? &*read_ahead : nullptr;
  Output output{options, {}, {}, {}};
  run_plan(plan, settings, [&output](ItemOutcome& outcome) { output.Take(outcome); });
  return output.finish();
}

}  // namespace qn::cli
