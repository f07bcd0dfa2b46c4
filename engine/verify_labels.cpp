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

RunResult VerifyLabelFolder(const std::string& folder, RunHost& host) {
  RunResult result;
  result.kind = FolderKind::Labels;
  result.folder = folder;
  StepGuard guard(host, result);
  const std::string context;  // the report path, which the run does not know before it is written
  std::string body;
  std::unique_ptr<FileList> images;
  host.Yield();

  FileList checksums = folder.empty() ? EmptyFileList() : FindFiles(folder, "*Labels.qn", false);
  if (FileCount(checksums) != 1) {
    body = "No matching .qn file found in " + folder;
    result.nothing_verified = true;
  } else {
    result.checksum_file = checksums[1];
    std::unique_ptr<ChecksumFile> file;
    guard.Run(context, [&] { file = std::make_unique<ChecksumFile>(checksums[1]); });
    FileList found = FindFiles(folder, "u*.jpg", false);
    if (FileCount(found) < 1) {
      body = "No Quarnell Image Files found in " + folder;
      result.nothing_verified = true;
    } else {
      images = std::make_unique<FileList>(std::move(found));
      SortFileList(*images);
      // Looked up through an index: a label folder may hold any number of images.
      const SortedIndex index(*images);
      result.file_count = FileCount(*images);
      if (!file) result.nothing_verified = true;
      while (file) {
        EntryResult entry;
        guard.Run(context, [&] { entry.line = file->ReadLine(); });
        std::vector<std::string> fields = SplitLabelLine(entry.line);
        entry.expected = fields[0];
        const int at = index.FirstLookup(AddBackslash(folder) + fields[0]);
        if (at > -1) {
          entry.found_path = (*images)[at];
          entry.report_line = DropLastChars(FileNameOfPath(entry.found_path), 4);
          guard.Run(context, [&] {
            int check = CheckLabelImage(fields, entry.found_path);
            entry.verdicts = {LabelVerdict(check)};
            entry.status = check == 0 ? EntryStatus::Ok : EntryStatus::Fail;
            entry.report_line += entry.verdicts.front();
          });
          (*images)[at].clear();  // claimed
        } else {
          entry.verdicts = {" <<<  MISSING"};
          entry.status = EntryStatus::Missing;
          entry.report_line = fields[0] + entry.verdicts.front();
        }
        entry.track_key = fields[0];
        entry.step_failed = entry.status == EntryStatus::NoVerdict;
        body += entry.report_line + "\r\n";
        result.entries.push_back(std::move(entry));
        if (file->AtEnd()) break;
      }
    }
  }
  if (images) result.additional_files = UnclaimedFileNames(*images);
  result.report_text = LabelReportText(folder, images.get(), body, host.Now());
  return result;
}

}  // namespace qn
