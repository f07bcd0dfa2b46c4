// The label-image run: the label images of a folder against its single "*Labels.qn".
#include <memory>

#include "platform/byte_file.h"
#include "audio/block_sums.h"
#include "engine/checksum_file.h"
#include "base/paths.h"
#include "engine/report.h"
#include "engine/run_steps.h"
#include "base/text.h"
#include "engine/verify.h"
#include "engine/verify_labels.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
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

int CheckLabelImage(const std::vector<std::string>& fields, const std::string& image_path) {
  if (fields.size() < 3)
    throw StepError(kErrSubscript, "The label line has no length and sum fields (separated by the byte FF) for " +
                                       image_path);
  std::int64_t length;
  std::string sum;
  {
    ByteFile image(image_path);
    length = image.length();
    sum = FourDigitHex(BlockSum255(image, 0));
  }
  int result = 0;
  if (recorded_length(fields[1]) != length) result = 1;
  if (fields[2] != sum) result += 2;
  return result;
}

namespace {

// The entry loop over an open label checksum file and the sorted image list.
class LabelEntries {
 public:
  LabelEntries(const std::string& folder, FileList& images, RunResult& result, StepGuard& guard)
      : folder_(folder), images_(images), index_(images), result_(result), guard_(guard) {}

  // One entry: its line, the image it names, the check; returns the report body's line.
  std::string Check(const std::string& line) {
    EntryResult entry;
    entry.line = line;
    guard_.begin_entry();
    const std::size_t errors_before = result_.errors.size();
    std::vector<std::string> fields = split_label_line(line);
    entry.track_key = fields[0];
    if (line.empty()) {
      guard_.report(kErrSubscript, "The label line is empty: it names no image", line);
    } else if (!placeholder_name_is_safe(fields[0])) {
      guard_.report(kErrRefused, "The name leads outside the verified folder: the image is not looked up (refused)", line);
      Missing(entry, fields[0]);
    } else if (const int at = index_.first_lookup(AddBackslash(folder_) + fields[0]); at > -1) {
      entry.found_path = images_[at];
      entry.report_line = DropLastChars(FileNameOfPath(entry.found_path), 4);
      guard_.run(line, [&] {
        int check = CheckLabelImage(fields, entry.found_path);
        entry.verdicts = {label_verdict(check)};
        entry.status = check == 0 ? EntryStatus::kOk : EntryStatus::kFail;
        entry.report_line += entry.verdicts.front();
      });
      images_[at].clear();  // claimed
    } else {
      Missing(entry, fields[0]);
    }
    entry.step_failed = result_.errors.size() != errors_before;
    std::string body_line = entry.report_line;
    result_.entries.push_back(std::move(entry));
    return body_line;
  }

 private:
  static void Missing(EntryResult& entry, const std::string& name) {
    entry.verdicts = {" <<<  MISSING"};
    entry.status = EntryStatus::kMissing;
    entry.report_line = name + entry.verdicts.front();
  }

  const std::string& folder_;
  FileList& images_;
  const SortedIndex index_;  // a label folder may hold any number of images
  RunResult& result_;
  StepGuard& guard_;
};

}  // namespace

RunResult VerifyLabelFolder(const std::string& folder, RunHost& host, const std::string& checksum_path) {
  RunResult result;
  result.kind = FolderKind::kLabels;
  result.folder = folder;
  StepGuard guard(host, result);
  std::string body;
  std::unique_ptr<FileList> images;
  host.yield();

  FileList checksums = empty_file_list();
  if (!checksum_path.empty()) checksums.push_back(checksum_path);
  else if (!folder.empty()) checksums = FindFiles(folder, "*Labels.qn", false);
  if (folder.empty()) {
    result.nothing_verified = true;  // nothing to search: the report has an empty body
  } else if (file_count(checksums) != 1) {
    body = "No matching .qn file found in " + folder;
    result.nothing_verified = true;
  } else {
    result.checksum_file = checksums[1];
    std::unique_ptr<ChecksumFile> file;
    guard.run(checksums[1], [&] { file = std::make_unique<ChecksumFile>(checksums[1]); });
    FileList found = FindFiles(folder, "u*.jpg", false);
    if (file_count(found) < 1) {
      body = "No Quarnell Image Files found in " + folder;
      result.nothing_verified = true;
    } else {
      images = std::make_unique<FileList>(std::move(found));
      SortFileList(*images);
      result.file_count = file_count(*images);
      if (!file) result.nothing_verified = true;
      LabelEntries entries(folder, *images, result, guard);
      while (file) {
        std::string line;
        guard.run(checksums[1], [&] { line = file->read_line(); });
        body += text::printable(entries.Check(line)) + "\r\n";
        if (file->at_end()) break;
      }
    }
  }
  if (images) result.additional_files = unclaimed_file_names(*images);
  result.report_text = label_report_text(folder, images.get(), body, host.now());
  return result;
}

}  // namespace qn
