#include "cli/qnverify_app.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/cli_host.h"
#include "cli/exit_status.h"
#include "engine/paths.h"
#include "engine/text.h"
#include "engine/verify.h"
#include "ui/platform/find_files.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

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
std::optional<int> ResolveTarget(const Options& options, Target& target) {
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
    if (FileCount(found) < 1) {
      say("No .qn file found in " + target.folder);
      return kExitNothingVerified;
    }
    if (FileCount(found) > 1) {
      std::string names;
      for (int i = 1; i <= FileCount(found); ++i) names += "\n  " + FileNameOfPath(found[i]);
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
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int RunQnverify(const std::vector<std::string>& args) {
  CLI::App app{"qnverify: verifies a Quarnell collection folder against its .qn checksum file "
               "and prints the verification report."};
  app.name("qnverify");
  Options options;
  app.add_option("PATH", options.path, "A folder, or a file inside one (.mp3, .jpg, .qn)")->required();
  app.add_flag("--no-id3v1", options.no_id3v1, "Do not check the ID3v1 tags");
  app.add_flag("--no-id3v2", options.no_id3v2, "Do not check the ID3v2 tag regions");
  app.add_flag("--create-nfo", options.create_nfo, "Create missing .nfo placeholder files");
  app.add_option("--qn", options.qn, "The checksum file to use when the folder holds several");
  app.add_option("--report", options.report, "Also write the report to this file");
  app.add_flag("--images", options.images, "Verify the label images against the *Labels.qn file");
  app.set_version_flag("--version", std::string("qnverify (Quarnell Verify 2.1) ") + kRevisionText);

  std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }

  Target target;
  if (std::optional<int> status = ResolveTarget(options, target)) return *status;

  CliHost host(!options.no_id3v1, !options.no_id3v2);
  RunResult result = target.labels
                         ? VerifyLabelFolder(target.folder, host)
                         : VerifyAudioFolder(target.folder, target.checksum_file, options.create_nfo, host);
  write_stdout(result.report_text);
  int status = ExitStatusOf(result);
  if (!options.report.empty() && !WriteReport(options.report, result.report_text, host))
    status = status == kExitNothingVerified ? status : (status | kExitStepError);
  return status;
}

}  // namespace qn::cli
