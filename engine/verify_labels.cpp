// The label-image run: the label images of a folder against its single "*Labels.qn".
#include <optional>

#include "audio/check_audio_file.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/checksum_file.h"
#include "engine/entry_read_ahead.h"
#include "engine/planned_folder.h"
#include "engine/report.h"
#include "engine/run_steps.h"
#include "engine/verify.h"
#include "engine/verify_labels.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
#include "platform/byte_file.h"
#include "platform/find_files.h"

namespace qn {

namespace {

const char* label_verdict(int result) {
  switch (result) {
    case 0: return " OK";
    case 1: return " FAIL (Length of File Error)";
    case 2: return " FAIL (255 bytes following Start of File)";
    default: return " FAIL (Length of File and first 255 bytes differ)";
  }
}

// The decimal length of field 1; blanks around it are allowed.
std::int64_t recorded_length(const std::string& field) {
  std::string digits = text::trim_blanks(field);
  if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
    throw StepError(kErrTypeMismatch, "The recorded length \"" + field + "\" is not a decimal number");
  return std::stoll(digits);
}

}  // namespace

std::vector<std::string> split_label_line(const std::string& line) { return text::split(line, "\xFF"); }

namespace {

void require_length_and_sum(const std::vector<std::string>& fields, const std::string& image_path) {
  if (fields.size() < 3)
    throw StepError(kErrSubscript, "The label line has no length and sum fields (separated by the byte FF) for " +
                                       image_path);
}

}  // namespace

int CheckLabelImage(const std::vector<std::string>& fields, const std::string& image_path) {
  require_length_and_sum(fields, image_path);
  platform::ByteFile image(image_path);
  return CheckLabelImage(fields, image);
}

int CheckLabelImage(const std::vector<std::string>& fields, platform::ByteFile& image) {
  require_length_and_sum(fields, image.path());
  const std::int64_t length = image.length();
  const std::string sum = label_image_sum(image);
  int result = 0;
  if (recorded_length(fields[1]) != length) result = 1;
  if (fields[2] != sum) result += 2;
  return result;
}

namespace {

// One label run: the images of a folder against its label checksum file, entry by entry.
class LabelRun {
 public:
  LabelRun(const std::string& folder, const std::string& checksum_path, const RunOptions& options, RunHost& host,
           EntrySink* sink)
      : folder_(folder), checksum_path_(checksum_path), options_(options), host_(host), sink_(sink),
        guard_(host, result_) {
    result_.kind = FolderKind::kLabels;
    result_.folder = folder;
  }

  RunResult execute();

 private:
  void check_entry(ChecksumFile& checksums, const SortedIndex& index);
  static void missing(EntryResult& entry, const std::string& name);

  std::string folder_;
  std::string checksum_path_;  // empty: the folder's single "*Labels.qn"
  const RunOptions& options_;
  RunHost& host_;
  EntrySink* sink_;
  RunResult result_;
  StepGuard guard_;
  std::optional<FileList> images_;
  std::string body_;
};

RunResult LabelRun::execute() {
  host_.yield();
  FileList checksums = empty_file_list();
  if (!checksum_path_.empty()) checksums.push_back(checksum_path_);
  else if (!folder_.empty()) checksums = platform::FindFiles(folder_, kLabelChecksumPattern, false);
  if (folder_.empty()) {
    result_.nothing_verified = true;  // nothing to search: the report has an empty body
  } else if (file_count(checksums) != 1) {
    body_ = "No matching .qn file found in " + folder_;
    result_.nothing_verified = true;
  } else {
    result_.checksum_file = checksums[1];
    std::optional<ChecksumFile> file;
    guard_.run(checksums[1], [&] { file.emplace(checksums[1]); });
    FileList found = platform::FindFiles(folder_, "u*.jpg", false);
    if (file_count(found) < 1) {
      body_ = "No Quarnell Image Files found in " + folder_;
      result_.nothing_verified = true;
    } else {
      images_.emplace(std::move(found));
      SortFileList(*images_);
      // Looked up through an index: a label folder may hold any number of images.
      const SortedIndex index(*images_);
      result_.file_count = file_count(*images_);
      if (!file) result_.nothing_verified = true;
      std::optional<EntryReadAhead> read_ahead;
      if (file && options_.read_ahead)
        read_ahead.emplace(*options_.read_ahead, *file, [&](const std::string& line) -> std::optional<PlannedFile> {
          const std::vector<std::string> fields = split_label_line(line);
          const int at = index.first_lookup(platform::AddBackslash(folder_) + fields[0]);
          if (fields.size() < 3 || at < 0 || (*images_)[at].empty()) return std::nullopt;
          return PlannedFile{(*images_)[at], label_image_reads};
        });
      if (file && sink_) sink_->begin(result_);
      while (file) {
        if (read_ahead) read_ahead->checking(static_cast<std::size_t>(result_.tally.entries));
        check_entry(*file, index);
        if (file->at_end()) break;
      }
    }
  }
  if (images_) result_.additional_files = unclaimed_file_names(*images_);
  result_.report_text = label_report_text(folder_, images_ ? &*images_ : nullptr, std::move(body_), options_.now());
  return std::move(result_);
}

void LabelRun::missing(EntryResult& entry, const std::string& name) {
  entry.verdicts = {" <<<  MISSING"};
  entry.status = EntryStatus::kMissing;
  entry.report_line = name + entry.verdicts.front();
}

// Errors of an entry carry its checksum line, as in the audio run.
void LabelRun::check_entry(ChecksumFile& checksums, const SortedIndex& index) {
  EntryResult entry;
  guard_.begin_entry();
  const long errors_before = guard_.error_count();
  guard_.run(checksum_path_.empty() ? result_.checksum_file : checksum_path_,
             [&] { entry.line = checksums.read_line(); });
  const std::string& line = entry.line;
  std::vector<std::string> fields = split_label_line(line);
  entry.track_key = fields[0];
  entry.expected = fields[0];
  if (line.empty()) {
    guard_.report(kErrSubscript, "The label line is empty: it names no image", line);
  } else if (!placeholder_name_is_safe(fields[0])) {
    guard_.report(kErrRefused, "The name leads outside the verified folder: the image is not looked up (refused)",
                  line);
    missing(entry, fields[0]);
  } else if (const int at = index.first_lookup(platform::AddBackslash(folder_) + fields[0]); at > -1) {
    entry.found_path = (*images_)[at];
    entry.report_line = DropLastChars(FileNameOfPath(entry.found_path), 4);
    guard_.run(line, [&] {
      int check = CheckLabelImage(fields, entry.found_path);
      entry.verdicts = {label_verdict(check)};
      entry.status = check == 0 ? EntryStatus::kOk : EntryStatus::kFail;
      entry.report_line += entry.verdicts.front();
    });
    (*images_)[at].clear();  // claimed
  } else {
    missing(entry, fields[0]);
  }
  entry.step_failed = guard_.error_count() != errors_before;
  body_ += text::printable(entry.report_line) + "\r\n";
  result_.tally.add(entry);
  if (sink_) sink_->entry(entry);
}

}  // namespace

RunResult VerifyLabelFolder(const std::string& folder, const std::string& checksum_path, const RunOptions& options,
                            RunHost& host, EntrySink* sink) {
  // Held for the whole run: nothing in it is reached by its path again.
  std::optional<platform::HeldFolder> held;
  if (!folder.empty()) held.emplace(folder);
  return LabelRun(folder, checksum_path, options, host, sink).execute();
}

}  // namespace qn
