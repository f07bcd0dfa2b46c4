// The audio verification run: one folder of track files against its checksum file.
#include <cerrno>
#include <cstring>
#include <optional>

#include "audio/check_audio_file.h"
#include "base/file_list.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/check_queue.h"
#include "engine/checksum_file.h"
#include "engine/content_checks.h"
#include "engine/content_verdicts.h"
#include "engine/entry_read_ahead.h"
#include "engine/found_list.h"
#include "engine/report.h"
#include "engine/run_steps.h"
#include "engine/verdicts.h"
#include "engine/verify.h"
#include "naming/match_track.h"
#include "naming/nfo.h"
#include "naming/pattern_match.h"
#include "naming/track_key.h"
#include "platform/file_access.h"
#include "platform/find_files.h"

namespace qn {

namespace {
const std::string kAlbums = std::string("Albums") + kSep;
}  // namespace

FoundFiles build_found_list(const std::string& folder, RunHost& host) {
  FoundFiles found;
  std::vector<platform::SearchProblem>* problems = &found.problems;
  // Each folder is read once, whatever number of searches its files go through.
  const platform::FolderListing listing(folder);
  if (file_count(listing.find("u*_*.flac", false, problems)) > 0) {
    found.flac = true;
    host.enable_id3_options(false);
    found.list = listing.find("u*_*.flac;u*_*.nfo", false);
    return found;
  }
  host.enable_id3_options(true);
  found.list = listing.find("u*.mp3;u*.nfo", false);
  if (text::contains(folder, kAlbums)) {
    if (file_count(found.list) < 1) {
      found.list = listing.find("u*_*.mp3", true, problems);
      found.subfolder_mode = file_count(found.list) > 0;
    }
    return found;
  }
  const platform::FolderListing albums_folder(folder + kAlbums, false);
  FileList albums = albums_folder.find("u*_*.mp3", false, problems);
  if (file_count(albums) < 1 && found.problems.empty()) {
    albums = albums_folder.find("u*_*.mp3", true, problems);
    found.subfolder_mode = file_count(albums) > 0;
  }
  if (file_count(albums) > 0) found.list = MergeFileLists(&found.list, albums);
  return found;
}

std::string sub_folder_rewrite(const std::string& line) {
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

std::vector<std::string> split_entry_line(const std::string& line, bool flac) {
  const std::string extension = flac ? ".flac" : ".mp3";
  const std::string separator = (flac && text::ends_with(line, ".flac.nfo")) ? "XXXXX" : extension;
  std::size_t at = line.find(separator);
  if (at == std::string::npos) return {line};
  return {line.substr(0, at), line.substr(at + separator.size())};
}

int exact_lookup(const SortedIndex& index, const std::string& folder, const std::string& name,
                 const std::string& extension) {
  int found = index.SortedLookup(folder + name + extension);
  if (found < 0) found = index.SortedLookup(folder + name);
  return found;
}

namespace {

// A name as a report line or the progress text shows it: names longer than any path are cut.
std::string shown_name(const std::string& name) {
  return name.size() <= kMaxPathLength ? name : name.substr(0, kMaxPathLength) + "...";
}

std::string channel_label(const std::string& line) {
  std::string label = pattern_match(line, "*##* mono *##*") ? " mono " : " stereo ";
  if (text::contains(line, "[mono]")) label = " mono ";
  if (text::contains(line, "[stereo]")) label = " stereo ";
  return label;
}

class AudioRun {
 public:
  AudioRun(const std::string& folder, const std::string& checksum_path, const RunOptions& options,
           RunHost& host, EntrySink* sink)
      : folder_(folder), options_(options), create_nfo_(options.create_nfo), host_(host), sink_(sink),
        guard_(host, result_) {
    result_.folder = folder;
    result_.checksum_file = checksum_path;
  }

  RunResult execute();

 private:
  void check_entry(ChecksumFile& checksums);
  void found_entry(EntryResult& entry, int index, const std::vector<std::string>& pieces);
  bool regular_placeholder(const EntryResult& entry, const std::string& path);
  void missing_entry(EntryResult& entry, const std::string& name, bool may_create);
  std::optional<PlannedCheck> planned(std::string line) const;
  std::optional<PlannedFile> planned_file(const std::string& line) const;
  void check_content(EntryResult& entry, const std::string& path);

  std::string folder_;
  const RunOptions& options_;
  bool create_nfo_;
  RunHost& host_;
  EntrySink* sink_;
  RunResult result_;
  StepGuard guard_;
  FoundFiles found_;
  std::optional<SortedIndex> index_;
  FolderListings listings_;  // folders the matcher's tag step has listed
  std::optional<EntryReadAhead> read_ahead_;
  std::optional<CheckQueue> checks_;     // the checks made ahead, and the deep checks
  AudioCheckFacts facts_;                // what the entry's fingerprint check compared
  bool deep_ = false;
  std::string extension_;
  std::string channel_label_;
  std::string body_;
};

RunResult AudioRun::execute() {
  std::optional<ChecksumFile> checksums;
  guard_.run(result_.checksum_file, [&] { checksums.emplace(result_.checksum_file); });
  found_ = build_found_list(folder_, host_);
  for (const platform::SearchProblem& problem : found_.problems) {
    guard_.report(problem.error, problem.error == ELOOP
                                     ? "The folder is a link and is not searched: " + problem.folder
                                     : "Reading the folder failed: " + std::string(std::strerror(problem.error)) +
                                           ": " + problem.folder,
                  "");
  }
  SortFileList(found_.list);
  result_.kind = found_.flac ? FolderKind::kFlac : FolderKind::kMp3;
  result_.file_count = file_count(found_.list);
  if (result_.file_count < 1) {
    body_ = "No Quarnell audio files found";
    result_.kind = FolderKind::kNone;
    result_.nothing_verified = true;
  } else {
    index_.emplace(found_.list);
    host_.set_busy(true);
    host_.yield();
    if (checksums && options_.read_ahead)
      read_ahead_.emplace(*options_.read_ahead, *checksums, [this](const std::string& l) { return planned_file(l); });
    deep_ = options_.deep_check;
    if (checksums && (deep_ || options_.job_pool))
      checks_.emplace(options_.job_pool, *checksums, [this](const std::string& l) { return planned(l); }, deep_);
    if (checksums) {
      if (sink_) sink_->begin(result_);
      do check_entry(*checksums);
      while (!checksums->at_end());
    } else {
      result_.nothing_verified = true;
    }
    read_ahead_.reset();
    checks_.reset();
    checksums.reset();  // what is left of it goes before the report is put together
    host_.set_busy(false);
  }
  result_.additional_files = unclaimed_file_names(found_.list);
  result_.report_text = audio_report_text(folder_, extension_, found_.list, std::move(body_), options_.now());
  return std::move(result_);
}

void AudioRun::check_entry(ChecksumFile& checksums) {
  EntryResult entry;  // every per-entry value starts afresh
  guard_.begin_entry();
  if (read_ahead_) read_ahead_->checking(static_cast<std::size_t>(result_.tally.entries));
  if (checks_)
    checks_->checking(static_cast<std::uint64_t>(result_.tally.entries), {host_.include_id3v1(), host_.include_id3v2()});
  facts_ = {};
  std::string& line = entry.line;  // held once, however long
  guard_.run(line, [&] { line = checksums.read_line(); });
  if (found_.subfolder_mode && text::contains(line, "uLP"))
    guard_.run(line, [&] { line = sub_folder_rewrite(line); });
  extension_ = found_.flac ? ".flac" : ".mp3";
  if (found_.flac) channel_label_ = channel_label(line);
  entry.channel_label = channel_label_;

  std::vector<std::string> pieces = split_entry_line(line, found_.flac);
  const std::string& name = pieces[0];
  entry.expected = pieces.size() == 1 ? name : name + extension_;

  host_.show_progress(folder_ + shown_name(name) + extension_);
  host_.yield();

  // A name that climbs out of the folder is never looked up, opened or created; nor is one longer
  // than any path, which names no file and would only cost memory in the name variants.
  const bool leaves = !name.empty() && !placeholder_name_is_safe(name);
  const bool too_long = folder_.size() + name.size() > kMaxPathLength;
  int index = -1;
  if (leaves) {
    guard_.report(kErrRefused, "The name leads outside the verified folder: the file is not looked up (refused)", line);
  } else if (too_long) {
    guard_.report(kErrInvalidArgument, "The name is longer than any path: it names no file", shown_name(line));
  } else {
    index = exact_lookup(*index_, folder_, name, extension_);
    if (index < 0 && pieces.size() != 1)
      guard_.run(line, [&] { index = MatchTrackFile(*index_, folder_ + name + extension_, &listings_); });
  }

  if (index > 0) found_entry(entry, index, pieces);
  else missing_entry(entry, name, !leaves && !too_long);
  if (leaves || too_long) entry.step_failed = true;

  guard_.run(line, [&] { entry.note = SheetMusicNote(line); });
  if (options_.hints_shown()) entry.hint = failure_hint(entry, found_.flac, facts_);
  body_ += text::printable(entry.report_line + entry.note + (entry.content ? entry.content->text : "")) + "\r\n";
  result_.tally.add(entry);
  if (sink_) sink_->entry(entry);
}

void AudioRun::found_entry(EntryResult& entry, int index, const std::vector<std::string>& pieces) {
  const std::string path = found_.list[index];
  entry.found_path = path;
  const long errors_before = guard_.error_count();
  // Without a track key the line shows the entry's name, so that it can still be traced.
  if (!guard_.run(entry.line, [&] { entry.track_key = TrackKey(path); })) entry.report_line += shown_name(pieces[0]);
  entry.report_line += entry.track_key + channel_label_;
  std::string result;
  bool checked = true;
  if (pieces.size() >= 2) {
    checked = guard_.run(entry.line, [&] {
      const ID3Options options{host_.include_id3v1(), host_.include_id3v2()};
      const TrackFingerprint fingerprint(pieces[1]);
      result = checks_ ? checks_->fingerprint_check(static_cast<std::uint64_t>(result_.tally.entries), path, fingerprint,
                                                    options, &facts_)
                       : CheckAudioFile(path, fingerprint, options, &facts_);
      entry.id3_suffix = id3_suffix(result);
    });
  } else {
    result = "0";
    entry.id3_suffix = " Placeholder";
    if (create_nfo_ && !regular_placeholder(entry, path)) {
      entry.verdicts = {" MISSING Placeholder file"};
      entry.status = EntryStatus::kMissing;
      entry.report_line += entry.verdicts.front();
      entry.step_failed = true;
      found_.list[index].clear();  // claimed
      return;
    }
  }
  // A check that failed with an error has no verdict: its reset result must not read as " OK".
  if (checked) {
    DecodedVerdicts decoded = decode_verdicts(result, entry.id3_suffix);
    entry.report_line += decoded.text;
    entry.status = status_of_verdicts(decoded.verdicts, entry.id3_suffix);
    entry.verdicts = std::move(decoded.verdicts);
  }
  if (deep_ && pieces.size() >= 2) check_content(entry, path);
  entry.step_failed = guard_.error_count() != errors_before;
  found_.list[index].clear();  // claimed
}

// The deep check of the entry's track; a content failure fails the entry whatever its verdicts.
void AudioRun::check_content(EntryResult& entry, const std::string& path) {
  const ContentOutcome outcome = checks_->content_check(static_cast<std::uint64_t>(result_.tally.entries), path);
  if (outcome.error_number != 0) guard_.report(outcome.error_number, outcome.error_text, entry.line);
  else if (outcome.verdict.status == ContentStatus::kUnreadable)  // the file changed while it was read
    guard_.report(kErrFileAccess, "The deep check could not read the track to its end: " + outcome.verdict.detail + ": " + path,
                  entry.line);
  entry.content = entry_content(outcome.verdict);
  if (outcome.verdict.status == ContentStatus::kFail && entry.status == EntryStatus::kOk) entry.status = EntryStatus::kFail;
}

// When placeholders are being made, one that stands there as a link or as anything but a regular
// file is not taken as present: it is reported, left as it is, and the entry is missing.
bool AudioRun::regular_placeholder(const EntryResult& entry, const std::string& path) {
  platform::EntryType type = platform::EntryType::kFile;
  if (!platform::entry_type(path, type) || type == platform::EntryType::kFile) return true;
  guard_.report(kErrRefused, "The placeholder is a link or not a regular file and is left as it is: " + path,
                entry.line);
  return false;
}

// The file an entry's check will open, found as its first lookups find it (a name found only by
// MatchTrackFile is left to the check), with the entry's fingerprint field.
std::optional<PlannedCheck> AudioRun::planned(std::string line) const {
  if (found_.subfolder_mode && text::contains(line, "uLP")) line = sub_folder_rewrite(line);
  std::vector<std::string> pieces = split_entry_line(line, found_.flac);
  if (pieces.size() < 2 || !placeholder_name_is_safe(pieces[0])) return std::nullopt;
  const int index = exact_lookup(*index_, folder_, pieces[0], found_.flac ? ".flac" : ".mp3");
  if (index <= 0 || found_.list[index].empty()) return std::nullopt;
  return PlannedCheck{found_.list[index], TrackFingerprint(std::move(pieces[1]))};
}

// That file and the ranges its check reads.
std::optional<PlannedFile> AudioRun::planned_file(const std::string& line) const {
  std::optional<PlannedCheck> file = planned(line);
  if (!file) return std::nullopt;
  return PlannedFile{file->path, [path = file->path, fingerprint = std::move(file->fingerprint)](std::int64_t length) {
                       return audio_check_reads(path, fingerprint, length);
                     }};
}

void AudioRun::missing_entry(EntryResult& entry, const std::string& name, bool may_create) {
  const long errors_before = guard_.error_count();
  bool present = false;  // created now, or a regular file of that name was already there
  bool created = false;
  if (may_create && create_nfo_ && FileTypeLabel(name, "") == " Placeholder file")
    present = guard_.run(entry.line, [&] { created = create_placeholder(folder_, name); });
  if (!guard_.run(entry.line, [&] { entry.track_key = TrackKey(name); })) entry.report_line += shown_name(name);
  entry.report_line += entry.track_key + channel_label_;
  if (present) {
    entry.verdicts = {" OK Placeholder"};
    entry.status = created ? EntryStatus::kPlaceholderCreated : EntryStatus::kOk;
  } else {
    entry.verdicts = {" MISSING" + FileTypeLabel(name, extension_)};
    entry.status = EntryStatus::kMissing;
  }
  entry.report_line += entry.verdicts.front();
  entry.step_failed = guard_.error_count() != errors_before;
}

}  // namespace

RunResult VerifyAudioFolder(const std::string& folder, const std::string& checksum_path, const RunOptions& options,
                            RunHost& host, EntrySink* sink) {
  // Held for the whole run: nothing in it is reached by its path again.
  const platform::HeldFolder held(folder);
  return AudioRun(folder, checksum_path, options, host, sink).execute();
}

}  // namespace qn
