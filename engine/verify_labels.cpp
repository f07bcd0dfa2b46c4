// The label-image run: the label images of a folder against its single "*Labels.qn".
#include <memory>

#include "audio/byte_file.h"
#include "audio/check_audio_file.h"
#include "engine/checksum_file.h"
#include "engine/paths.h"
#include "engine/report.h"
#include "engine/run_steps.h"
#include "engine/text.h"
#include "engine/verify.h"
#include "engine/verify_labels.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
#include "ui/platform/find_files.h"

namespace qn {

namespace {

const char* LabelVerdict(int result) {
  switch (result) {
    case 0: return " OK";
    case 1: return " FAIL (Length of File Error)";
    case 2: return " FAIL (255 bytes following Start of File)";
    default: return " FAIL (Length of File and first 255 bytes differ)";
  }
}

// The decimal length of field 1; blanks around it are allowed.
std::int64_t RecordedLength(const std::string& field) {
  std::string digits = text::trim_blanks(field);
  if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
    throw StepError(kErrTypeMismatch, "The recorded length \"" + field + "\" is not a decimal number");
  return std::stoll(digits);
}

}  // namespace

std::vector<std::string> SplitLabelLine(const std::string& line) { return text::split(line, "\xFF"); }

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
  if (RecordedLength(fields[1]) != length) result = 1;
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
    guard_.BeginEntry();
    const std::size_t errors_before = result_.errors.size();
    std::vector<std::string> fields = SplitLabelLine(line);
    entry.track_key = fields[0];
    if (line.empty()) {
      guard_.Report(kErrSubscript, "The label line is empty: it names no image", line);
    } else if (!PlaceholderNameIsSafe(fields[0])) {
      guard_.Report(kErrRefused, "The name leads outside the verified folder: the image is not looked up (refused)", line);
      Missing(entry, fields[0]);
    } else if (const int at = index_.FirstLookup(AddBackslash(folder_) + fields[0]); at > -1) {
      entry.found_path = images_[at];
      entry.report_line = DropLastChars(FileNameOfPath(entry.found_path), 4);
      guard_.Run(line, [&] {
        int check = CheckLabelImage(fields, entry.found_path);
        entry.verdicts = {LabelVerdict(check)};
        entry.status = check == 0 ? EntryStatus::Ok : EntryStatus::Fail;
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
    entry.status = EntryStatus::Missing;
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
  result.kind = FolderKind::Labels;
  result.folder = folder;
  StepGuard guard(host, result);
  std::string body;
  std::unique_ptr<FileList> images;
  host.Yield();

  FileList checksums = EmptyFileList();
  if (!checksum_path.empty()) checksums.push_back(checksum_path);
  else if (!folder.empty()) checksums = FindFiles(folder, "*Labels.qn", false);
  if (folder.empty()) {
    result.nothing_verified = true;  // nothing to search: the report has an empty body
  } else if (FileCount(checksums) != 1) {
    body = "No matching .qn file found in " + folder;
    result.nothing_verified = true;
  } else {
    result.checksum_file = checksums[1];
    std::unique_ptr<ChecksumFile> file;
    guard.Run(checksums[1], [&] { file = std::make_unique<ChecksumFile>(checksums[1]); });
    FileList found = FindFiles(folder, "u*.jpg", false);
    if (FileCount(found) < 1) {
      body = "No Quarnell Image Files found in " + folder;
      result.nothing_verified = true;
    } else {
      images = std::make_unique<FileList>(std::move(found));
      SortFileList(*images);
      result.file_count = FileCount(*images);
      if (!file) result.nothing_verified = true;
      LabelEntries entries(folder, *images, result, guard);
      while (file) {
        std::string line;
        guard.Run(checksums[1], [&] { line = file->ReadLine(); });
        body += text::printable(entries.Check(line)) + "\r\n";
        if (file->AtEnd()) break;
      }
    }
  }
  if (images) result.additional_files = UnclaimedFileNames(*images);
  result.report_text = LabelReportText(folder, images.get(), body, host.Now());
  return result;
}

}  // namespace qn
