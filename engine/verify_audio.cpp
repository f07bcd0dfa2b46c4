// The audio verification run: one folder of track files against its checksum file.
#include <cerrno>
#include <cstring>
#include <memory>

#include "audio/check_audio_file.h"
#include "engine/checksum_file.h"
#include "engine/file_list.h"
#include "engine/paths.h"
#include "engine/report.h"
#include "engine/run_steps.h"
#include "engine/text.h"
#include "engine/verdicts.h"
#include "engine/verify.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
#include "naming/pattern_match.h"
#include "naming/track_key.h"
#include "ui/platform/find_files.h"

namespace qn {

namespace {

const std::string kAlbums = std::string("Albums") + kSep;

struct FoundFiles {
  FileList list = EmptyFileList();
  bool flac = false;
  bool subfolder_mode = false;
  std::vector<SearchProblem> problems;  // folders that could not be read (each once)
};

// Decides the folder kind and lists the files the entries are looked up in. The "Albums" folder
// is searched only when it is a real folder, not a link.
FoundFiles BuildFoundList(const std::string& folder, RunHost& host) {
  FoundFiles found;
  std::vector<SearchProblem>* problems = &found.problems;
  if (FileCount(FindFiles(folder, "u*_*.flac", false, problems)) > 0) {
    found.flac = true;
    host.EnableID3Options(false);
    found.list = FindFiles(folder, "u*_*.flac;u*_*.nfo", false);
    return found;
  }
  host.EnableID3Options(true);
  found.list = FindFiles(folder, "u*.mp3;u*.nfo", false);
  if (text::contains(folder, kAlbums)) {
    if (FileCount(found.list) < 1) {
      found.list = FindFiles(folder, "u*_*.mp3", true, problems);
      found.subfolder_mode = FileCount(found.list) > 0;
    }
    return found;
  }
  FileList albums = FindFiles(folder + kAlbums, "u*_*.mp3", false, problems, false);
  if (FileCount(albums) < 1 && found.problems.empty()) {
    albums = FindFiles(folder + kAlbums, "u*_*.mp3", true, problems, false);
    found.subfolder_mode = FileCount(albums) > 0;
  }
  if (FileCount(albums) > 0) found.list = MergeFileLists(&found.list, albums);
  return found;
}

// Album tracks of sub-folder mode lie in a folder named after the chart part of their key.
std::string SubFolderRewrite(const std::string& line) {
  std::vector<std::string> pieces = text::split(StripLeadingU(TrackKey(line)), "_");
  if (pieces.size() > 1) {
    std::string& number = pieces[1];
    std::size_t digits = 0;
    while (digits < number.size() && number[digits] >= '0' && number[digits] <= '9') ++digits;
    number.resize(digits);
  }
  std::string sub = text::join(pieces, "_");
  if (!text::contains(line, kAlbums)) return sub + kSep + line;
  return text::replace_all(line, kAlbums, kAlbums + sub + kSep);
}

std::string ChannelLabel(const std::string& line) {
  std::string label = PatternMatch(line, "*##* mono *##*") ? " mono " : " stereo ";
  if (text::contains(line, "[mono]")) label = " mono ";
  if (text::contains(line, "[stereo]")) label = " stereo ";
  return label;
}

class AudioRun {
 public:
  AudioRun(const std::string& folder, const std::string& checksum_path, bool create_nfo,
           RunHost& host)
      : folder_(folder), create_nfo_(create_nfo), host_(host), guard_(host, result_) {
    result_.folder = folder;
    result_.checksum_file = checksum_path;
  }

  RunResult Execute();

 private:
  void CheckEntry(ChecksumFile& checksums);
  void FoundEntry(EntryResult& entry, int index, const std::vector<std::string>& pieces);
  void MissingEntry(EntryResult& entry, const std::string& name, bool may_create);

  std::string folder_;
  bool create_nfo_;
  RunHost& host_;
  RunResult result_;
  StepGuard guard_;
  FoundFiles found_;
  std::unique_ptr<SortedIndex> index_;
  FolderListings listings_;  // folders the matcher's tag step has listed
  std::string extension_;
  std::string channel_label_;
  std::string body_;
};

RunResult AudioRun::Execute() {
  std::unique_ptr<ChecksumFile> checksums;
  guard_.Run(result_.checksum_file, [&] {
    checksums = std::make_unique<ChecksumFile>(result_.checksum_file);
  });
  found_ = BuildFoundList(folder_, host_);
  for (const SearchProblem& problem : found_.problems) {
    guard_.Report(problem.error, problem.error == ELOOP
                                     ? "The folder is a link and is not searched: " + problem.folder
                                     : "Reading the folder failed: " + std::string(std::strerror(problem.error)) +
                                           ": " + problem.folder,
                  "");
  }
  SortFileList(found_.list);
  result_.kind = found_.flac ? FolderKind::Flac : FolderKind::Mp3;
  result_.file_count = FileCount(found_.list);
  if (result_.file_count < 1) {
    body_ = "No Quarnell audio files found";
    result_.kind = FolderKind::None;
    result_.nothing_verified = true;
  } else {
    index_ = std::make_unique<SortedIndex>(found_.list);
    host_.SetBusy(true);
    host_.Yield();
    if (checksums) {
      do CheckEntry(*checksums);
      while (!checksums->AtEnd());
    } else {
      result_.nothing_verified = true;
    }
    host_.SetBusy(false);
  }
  result_.additional_files = UnclaimedFileNames(found_.list);
  result_.report_text = AudioReportText(folder_, extension_, found_.list, body_, host_.Now());
  return std::move(result_);
}

void AudioRun::CheckEntry(ChecksumFile& checksums) {
  EntryResult entry;  // every per-entry value starts afresh
  guard_.BeginEntry();
  std::string line;
  guard_.Run(line, [&] { line = checksums.ReadLine(); });
  if (found_.subfolder_mode && text::contains(line, "uLP"))
    guard_.Run(line, [&] { line = SubFolderRewrite(line); });
  entry.line = line;
  extension_ = found_.flac ? ".flac" : ".mp3";
  if (found_.flac) channel_label_ = ChannelLabel(line);
  entry.channel_label = channel_label_;

  std::vector<std::string> pieces;
  std::string separator = (found_.flac && text::ends_with(line, ".flac.nfo")) ? "XXXXX" : extension_;
  std::size_t at = line.find(separator);
  if (at == std::string::npos) pieces = {line};
  else pieces = {line.substr(0, at), line.substr(at + separator.size())};
  const std::string& name = pieces[0];

  host_.ShowProgress(folder_ + name + extension_);
  host_.Yield();

  // A name that climbs out of the folder is never looked up, opened or created.
  const bool leaves = !name.empty() && !PlaceholderNameIsSafe(name);
  int index = -1;
  if (leaves) {
    guard_.Report(kErrRefused, "The name leads outside the verified folder: the file is not looked up (refused)", line);
  } else {
    index = index_->SortedLookup(folder_ + name + extension_);
    if (index < 0) index = index_->SortedLookup(folder_ + name);
    if (index < 0 && pieces.size() != 1)
      guard_.Run(line, [&] { index = MatchTrackFile(*index_, folder_ + name + extension_, &listings_); });
  }

  if (index > 0) FoundEntry(entry, index, pieces);
  else MissingEntry(entry, name, !leaves);
  if (leaves) entry.step_failed = true;

  guard_.Run(line, [&] { entry.note = SheetMusicNote(line); });
  body_ += text::printable(entry.report_line + entry.note) + "\r\n";
  result_.entries.push_back(std::move(entry));
}

void AudioRun::FoundEntry(EntryResult& entry, int index, const std::vector<std::string>& pieces) {
  const std::string path = found_.list[index];
  entry.found_path = path;
  std::size_t errors_before = result_.errors.size();
  // Without a track key the line shows the entry's name, so that it can still be traced.
  if (!guard_.Run(entry.line, [&] { entry.track_key = TrackKey(path); })) entry.report_line += pieces[0];
  entry.report_line += entry.track_key + channel_label_;
  std::string result;
  bool checked = true;
  if (pieces.size() >= 2) {
    checked = guard_.Run(entry.line, [&] {
      result = CheckAudioFile(path, pieces[1], {host_.IncludeID3v1(), host_.IncludeID3v2()});
      entry.id3_suffix = Id3Suffix(result);
    });
  } else {
    result = "0";
    entry.id3_suffix = " Placeholder";
  }
  // A check that failed with an error has no verdict: its reset result must not read as " OK".
  if (checked) {
    DecodedVerdicts decoded = DecodeVerdicts(result, entry.id3_suffix);
    entry.report_line += decoded.text;
    entry.status = StatusOfVerdicts(decoded.verdicts, entry.id3_suffix);
    entry.verdicts = std::move(decoded.verdicts);
  }
  entry.step_failed = result_.errors.size() != errors_before;
  found_.list[index].clear();  // claimed
}

void AudioRun::MissingEntry(EntryResult& entry, const std::string& name, bool may_create) {
  std::size_t errors_before = result_.errors.size();
  bool present = false;  // created now, or a regular file of that name was already there
  bool created = false;
  if (may_create && create_nfo_ && FileTypeLabel(name, "") == " Placeholder file")
    present = guard_.Run(entry.line, [&] { created = CreatePlaceholder(folder_, name); });
  if (!guard_.Run(entry.line, [&] { entry.track_key = TrackKey(name); })) entry.report_line += name;
  entry.report_line += entry.track_key + channel_label_;
  if (present) {
    entry.verdicts = {" OK Placeholder"};
    entry.status = created ? EntryStatus::PlaceholderCreated : EntryStatus::Ok;
  } else {
    entry.verdicts = {" MISSING" + FileTypeLabel(name, extension_)};
    entry.status = EntryStatus::Missing;
  }
  entry.report_line += entry.verdicts.front();
  entry.step_failed = result_.errors.size() != errors_before;
}

}  // namespace

RunResult VerifyAudioFolder(const std::string& folder, const std::string& checksum_path,
                            bool create_nfo, RunHost& host) {
  return AudioRun(folder, checksum_path, create_nfo, host).Execute();
}

}  // namespace qn
