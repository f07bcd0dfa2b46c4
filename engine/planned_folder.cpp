#include "engine/planned_folder.h"

#include "base/paths.h"
#include "base/text.h"
#include "engine/verify.h"
#include "platform/find_files.h"

namespace qn {

bool is_label_checksum_name(const std::string& file_name) { return text::contains(file_name, "Labels.qn"); }

FolderChoice choose_checksum_file(const std::string& folder, const std::string& chosen, bool images) {
  FolderChoice choice;
  choice.planned.folder = folder;
  choice.planned.checksum_file = chosen;
  if (images) {
    choice.planned.kind = ItemKind::kLabels;
    if (chosen.empty()) {
      FileList found = platform::FindFiles(folder, kLabelChecksumPattern, false);
      if (file_count(found) > 1) {
        choice.choice = ChecksumChoice::kSeveral;
        choice.found = std::move(found);
        return choice;
      }
    }
    choice.choice = ChecksumChoice::kChosen;
    return choice;
  }
  if (chosen.empty()) {
    choice.found = platform::FindFiles(folder, "*.qn", false);
    if (file_count(choice.found) != 1) {
      choice.choice = file_count(choice.found) < 1 ? ChecksumChoice::kNone : ChecksumChoice::kSeveral;
      return choice;
    }
    choice.planned.checksum_file = choice.found[1];
  }
  choice.planned.kind =
      is_label_checksum_name(FileNameOfPath(choice.planned.checksum_file)) ? ItemKind::kLabels : ItemKind::kAudio;
  choice.choice = ChecksumChoice::kChosen;
  return choice;
}

RunResult verify_folder(const PlannedFolder& planned, const RunOptions& options, RunHost& host, EntrySink* sink) {
  if (planned.kind == ItemKind::kLabels)
    return VerifyLabelFolder(planned.folder, planned.checksum_file, options, host, sink);
  return VerifyAudioFolder(planned.folder, planned.checksum_file, options, host, sink);
}

}  // namespace qn
