#include "cli/create_command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/cli_host.h"
#include "cli/kept_files.h"
#include "engine/create_checksums.h"
#include "engine/exit_status.h"
#include "engine/planned_folder.h"
#include "base/paths.h"
#include "base/step_error.h"
#include "base/text.h"
#include "platform/file_access.h"
#include "platform/find_files.h"
#include "platform/output_file.h"
#include "platform/terminal.h"
#include "platform/wide_text.h"

namespace fs = std::filesystem;

namespace qn::cli {

namespace {

// Messages name files: a name never reaches the terminal with its controls.
void say(const std::string& message) { std::cerr << "qnverify: " << text::printable_lines(message) << "\n"; }

std::string absolute_text(const std::string& text) {
  const fs::path p = platform::native_path(text);
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  return (ec ? p : abs).lexically_normal().string();
}

// The folder of PATH, ending in the separator; empty when PATH names nothing.
std::string folder_of(const std::string& path) {
  std::error_code ec;
  fs::file_status status = fs::status(platform::native_path(path), ec);
  if (fs::is_directory(status)) return platform::AddBackslash(absolute_text(path));
  if (fs::exists(status)) return FolderOfPath(absolute_text(path));
  return {};
}

// Every file of the folder that no line names and the run never looks at, except the output itself.
void name_not_listed(const CreatedChecksums& created, const std::string& folder, const std::string& output) {
  const std::string output_path = output.empty() ? std::string() : absolute_text(output);
  for (const std::string& path : created.not_listed)
    if (path != output_path) say("not listed (no run looks at it): " + path.substr(folder.size()));
}

// The lines on standard output; a failed write (a full disk, a closed stream, a reader that went
// away) is an error line, since the shell has made the file already and it holds only part of them.
bool write_stdout(const std::string& text) {
  platform::set_stdout_binary();
  errno = 0;
  if (platform::write_standard_output(text)) return true;
  const int err = errno != 0 ? errno : kErrFileAccess;
  std::cerr << error_line("", err,
                          std::string("Writing standard output failed: ") + std::strerror(err) +
                              "; the checksum lines there are incomplete (--output writes a whole file or none)",
                          "")
            << std::flush;
  return false;
}

}  // namespace

int run_create(const CreateRequest& request) {
  const std::string folder = folder_of(request.path);
  if (folder.empty()) {
    say("no such file or folder: " + request.path);
    return kExitNothingVerified;
  }
  // The files the run reads, which --output never replaces, not even under another name.
  KeptFiles kept;
  if (!request.output.empty()) {
    PlanItem item;
    item.kind = request.images ? ItemKind::kLabels : ItemKind::kAudio;
    item.folder = folder;
    kept = files_read_by({item}, false);
    const std::string clash = kept_file_at(kept, request.output);
    if (!clash.empty()) {
      say("--output would replace a file that the run reads: " + text::printable(clash));
      return kExitUsage;
    }
  }
  CreateSettings settings;
  settings.six_values = !request.five_values;
  settings.labels = request.images;
  CliHost host(true, true);  // error lines go to standard error as they happen
  CreatedChecksums created = create_checksum_lines(folder, settings, host);
  name_not_listed(created, folder, request.output);
  if (created.nothing_found) {
    say((request.images ? "No Quarnell Image Files found in " : "No Quarnell audio files found in ") + folder);
    return kExitNothingVerified;
  }
  int status = created.errors.empty() ? kExitOk : kExitStepError;
  if (created.lines.empty()) {
    say("no line could be written; nothing was written");
    return status;
  }
  const std::string text = checksum_file_text(created.lines);
  if (request.output.empty()) return write_stdout(text) ? status : status | kExitStepError;
  platform::OutputRules rules;
  rules.replace = request.force;
  rules.refuse_links = true;
  rules.taken_reason = "the file exists (--force replaces it)";
  rules.kept = kept.identities;
  if (std::optional<platform::OutputError> failed = platform::write_file_atomically(request.output, text, rules)) {
    if (failed->kept_file) {
      say("--output would replace a file that the run reads: " +
          text::printable(kept_file_at(kept, request.output)) + "; nothing was written");
      return kExitUsage;
    }
    std::cerr << error_line("", failed->number, failed->description, "") << std::flush;
    return status | kExitStepError;
  }
  // The runs tell the two kinds of checksum file apart by name.
  const bool label_name = is_label_checksum_name(FileNameOfPath(absolute_text(request.output)));
  if (request.images != label_name)
    say(request.images ? "note: the label run reads only checksum files named \"*Labels.qn\""
                       : "note: a checksum file whose name holds \"Labels.qn\" is read by the label run");
  return status;
}

}  // namespace qn::cli
