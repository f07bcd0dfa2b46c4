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

RunResult VerifyLabelFolder(const std::string& folder, RunHost& host) {
  RunResult result;
  result.kind = FolderKind::kLabels;
  result.folder = folder;
  StepGuard guard(host, result);
  const std::string context;  // the report path, which the run does not know before it is written
  std::string body;
  std::unique_ptr<FileList> images;
  host.yield();

  FileList checksums = folder.empty() ? empty_file_list() : FindFiles(folder, "*Labels.qn", false);
  if (file_count(checksums) != 1) {
    body = "No matching .qn file found in " + folder;
    result.nothing_verified = true;
  } else {
    result.checksum_file = checksums[1];
    std::unique_ptr<ChecksumFile> file;
    guard.run(context, [&] { file = std::make_unique<ChecksumFile>(checksums[1]); });
    FileList found = FindFiles(folder, "u*.jpg", false);
    if (file_count(found) < 1) {
      body = "No Quarnell Image Files found in " + folder;
      result.nothing_verified = true;
    } else {
      images = std::make_unique<FileList>(std::move(found));
      SortFileList(*images);
      // Looked up through an index: a label folder may hold any number of images.
      const SortedIndex index(*images);
      result.file_count = file_count(*images);
      if (!file) result.nothing_verified = true;
      while (file) {
        EntryResult entry;
        guard.run(context, [&] { entry.line = file->read_line(); });
        std::vector<std::string> fields = split_label_line(entry.line);
        const int at = index.first_lookup(AddBackslash(folder) + fields[0]);
        if (at > -1) {
          entry.found_path = (*images)[at];
          entry.report_line = DropLastChars(FileNameOfPath(entry.found_path), 4);
          guard.run(context, [&] {
            int check = CheckLabelImage(fields, entry.found_path);
            entry.verdicts = {label_verdict(check)};
            entry.status = check == 0 ? EntryStatus::kOk : EntryStatus::kFail;
            entry.report_line += entry.verdicts.front();
          });
          (*images)[at].clear();  // claimed
        } else {
          entry.verdicts = {" <<<  MISSING"};
          entry.status = EntryStatus::kMissing;
          entry.report_line = fields[0] + entry.verdicts.front();
        }
        entry.track_key = fields[0];
        entry.step_failed = entry.status == EntryStatus::kNoVerdict;
        body += entry.report_line + "\r\n";
        result.entries.push_back(std::move(entry));
        if (file->at_end()) break;
      }
    }
  }
  if (images) result.additional_files = unclaimed_file_names(*images);
  result.report_text = label_report_text(folder, images.get(), body, host.now());
  return result;
}

}  // namespace qn
