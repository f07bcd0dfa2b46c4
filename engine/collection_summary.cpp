#include "engine/collection_summary.h"

#include <cstdio>
#include <set>

#include "base/text.h"
#include "engine/exit_status.h"

namespace qn {

RunCounts& RunCounts::operator+=(const RunCounts& other) {
  entries += other.entries;
  ok += other.ok;
  fail += other.fail;
  tags_only += other.tags_only;
  missing += other.missing;
  additional += other.additional;
  errors += other.errors;
  return *this;
}

std::string fail_text(const RunCounts& counts) {
  std::string text = std::to_string(counts.fail) + " FAIL";
  if (counts.tags_only > 0)
    text += " (" + std::to_string(counts.audio_fail()) + " audio, " + std::to_string(counts.tags_only) + " tags only)";
  return text;
}

const char* kind_name(FolderKind kind) {
  switch (kind) {
    case FolderKind::kMp3: return "mp3";
    case FolderKind::kFlac: return "flac";
    case FolderKind::kLabels: return "labels";
    case FolderKind::kNone: break;
  }
  return "none";
}

RunCounts counts_of(const RunResult& result) {
  RunCounts counts;
  counts.entries = result.tally.entries;
  counts.ok = result.tally.ok + result.tally.placeholders_created;
  counts.fail = result.tally.fail + result.tally.no_verdict;
  counts.tags_only = result.tally.tags_only;
  counts.missing = result.tally.missing;
  counts.additional = static_cast<long>(result.additional_files.size());
  counts.errors = result.error_count + (result.nothing_verified ? 1 : 0);
  return counts;
}

void Summary::add_run(const RunResult& result) {
  RunCounts counts = counts_of(result);
  rows_.push_back({result.folder, kind_name(result.kind), counts});
  totals_ += counts;
  int status = exit_status_of(result);
  if (status == kExitNothingVerified) {
    status = kExitStepError;
  } else {
    verified_any_ = true;
  }
  status_ |= status;
}

void Summary::add_problem(const PlanItem& problem) {
  RunCounts counts;
  counts.errors = 1;
  rows_.push_back({problem.folder, "error", counts});
  totals_ += counts;
  status_ |= kExitStepError;
}

int Summary::folder_count() const {
  std::set<std::string> folders;
  for (const Row& row : rows_) folders.insert(row.folder);
  return static_cast<int>(folders.size());
}

int Summary::exit_status() const { return verified_any_ ? status_ : kExitNothingVerified; }

namespace {

std::string row_text(const RunCounts& c, const std::string& kind, const std::string& folder) {
  char numbers[128];
  std::snprintf(numbers, sizeof numbers, "%7ld %7ld %7ld %7ld %10ld %7ld  %-7s ", c.entries, c.ok, c.fail,
                c.missing, c.additional, c.errors, kind.c_str());
  return numbers + text::printable(folder) + "\r\n";
}

}  // namespace

std::string Summary::text() const {
  std::string text = "Summary\r\n";
  text += "entries      OK    FAIL MISSING additional  errors  kind    folder\r\n";
  for (const Row& row : rows_) text += row_text(row.counts, row.kind, row.folder);
  int folders = folder_count();
  text += row_text(totals_, "total", std::to_string(folders) + (folders == 1 ? " folder" : " folders"));
  if (totals_.tags_only > 0)
    text += "FAIL: " + std::to_string(totals_.audio_fail()) + " audio, " + std::to_string(totals_.tags_only) +
            " tags only (the audio verified OK, a tag check failed)\r\n";
  return text;
}

}  // namespace qn
