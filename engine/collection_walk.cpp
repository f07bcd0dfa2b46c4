#include "engine/collection_walk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/paths.h"
#include "base/step_error.h"
#include "platform/find_files.h"

namespace qn {

namespace {

bool is_checksum_name(const std::string& name) { return platform::MatchesPattern(name, "*.qn"); }

// A folder met by the walk: the names of its checksum files, or the reason it could not be read.
// Only those are kept: a walk of a million tracks would otherwise hold every track's name.
struct Visited {
  std::string folder;
  std::vector<std::string> file_names;
  bool readable = true;
  std::error_code error;
  bool held = false;
  platform::FileIdentity identity;  // of the folder listed, when it was held
};

// Lists `folder` (held while it is listed and its sub-folders are visited, so that each of them
// is opened from it) and then its sub-folders.
void visit(const std::string& folder, const FolderLister& lister, std::vector<Visited>& visited) {
  const platform::HeldFolder held(folder);
  Visited here;
  here.folder = folder;
  here.held = held.held();
  here.identity = held.identity();
  std::vector<std::string> sub_folders;
  {
    // Let go before the sub-folders are visited: one listing at a time, however deep the walk.
    std::vector<platform::SearchEntry> entries;
    if (!lister(folder, entries, here.error)) {
      here.readable = false;
    } else {
      for (const platform::SearchEntry& entry : entries) {
        if (entry.enter) sub_folders.push_back(folder + entry.name + kSep);
        else if (!entry.directory && is_checksum_name(entry.name)) here.file_names.push_back(entry.name);
      }
      std::sort(here.file_names.begin(), here.file_names.end());
    }
  }
  visited.push_back(std::move(here));
  for (const std::string& sub_folder : sub_folders) visit(sub_folder, lister, visited);
}

std::string joined_names(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

PlanItem several_files_problem(const std::string& folder, const std::vector<std::string>& names,
                               const char* what) {
  PlanItem item;
  item.folder = folder;
  item.error_number = kErrInvalidArgument;
  item.message = std::string("The folder holds several ") + what + " checksum files and was skipped: " +
                 joined_names(names);
  return item;
}

PlanItem unreadable_problem(const std::string& folder, const std::error_code& error) {
  PlanItem item;
  item.folder = folder;
  item.error_number = error.value() != 0 ? error.value() : kErrFileAccess;
  item.message = "Reading the folder failed" + (error ? ": " + error.message() : std::string());
  return item;
}

// The run of one kind for the checksum files `names` of that kind: none, one run, or a problem.
void add_run(std::vector<PlanItem>& items, const std::string& folder, const std::vector<std::string>& names,
             ItemKind kind, const char* what) {
  if (names.size() > 1) {
    items.push_back(several_files_problem(folder, names, what));
  } else if (names.size() == 1) {
    PlanItem item;
    item.kind = kind;
    item.folder = folder;
    item.checksum_file = folder + names.front();
    items.push_back(std::move(item));
  }
}

}  // namespace

std::unique_ptr<platform::HeldFolder> hold_walked_folder(const PlanItem& item, PlanItem& problem) {
  auto held = std::make_unique<platform::HeldFolder>(item.folder);
  problem = item;
  problem.kind = ItemKind::kProblem;
  // A folder swapped for a link since the walk reads as ELOOP here.
  if (!held->held() || (item.walked && held->identity() != item.identity)) {
    problem.error_number = held->held() ? kErrFileAccess : held->error();
    problem.message = std::string(item.walked ? "The folder changed during the run and was skipped"
                                              : "Opening the folder failed") +
                      (held->held() ? "" : std::string(": ") + std::strerror(held->error()));
    return nullptr;
  }
  if (!item.walked || item.checksum_file.empty()) return held;
  platform::EntryType type = platform::EntryType::kOther;
  if (!platform::entry_type(item.checksum_file, type)) {
    problem.error_number = errno != 0 ? errno : kErrFileAccess;
    problem.message = std::string("Reading the checksum file failed: ") + std::strerror(problem.error_number) + ": " +
                      FileNameOfPath(item.checksum_file);
    return nullptr;
  }
  if (type != platform::EntryType::kFile) {
    problem.error_number = kErrFileAccess;
    problem.message = "The checksum file is a link or not a regular file and the folder was skipped: " +
                      FileNameOfPath(item.checksum_file);
    return nullptr;
  }
  return held;
}

bool list_real_folder(const std::string& folder, std::vector<platform::SearchEntry>& entries, std::error_code& error) {
  int number = 0;
  if (platform::list_search_entries(folder, entries, number)) return true;
  error = std::error_code(number, std::generic_category());
  return false;
}

std::vector<PlanItem> plan_folder(const std::string& folder, const std::vector<std::string>& file_names) {
  std::vector<std::string> audio, labels;
  // The same rule as for one folder.
  for (const std::string& name : file_names) {
    if (!is_checksum_name(name)) continue;
    if (is_label_checksum_name(name)) labels.push_back(name);
    else audio.push_back(name);
  }
  std::vector<PlanItem> items;
  add_run(items, folder, audio, ItemKind::kAudio, "audio");
  add_run(items, folder, labels, ItemKind::kLabels, "label");
  return items;
}

std::vector<PlanItem> walk_collection(const std::string& root, const FolderLister& lister) {
  const std::string top = platform::AddBackslash(root);
  // Held until the last item of the plan ends: the runs reach their folders from it.
  auto held_root = std::make_shared<const platform::HeldFolder>(top);
  std::vector<Visited> visited;
  visit(top, lister, visited);
  std::sort(visited.begin(), visited.end(),
            [](const Visited& a, const Visited& b) { return a.folder < b.folder; });

  std::vector<PlanItem> plan;
  for (const Visited& here : visited) {
    if (!here.readable) {
      plan.push_back(unreadable_problem(here.folder, here.error));
      continue;
    }
    for (PlanItem& item : plan_folder(here.folder, here.file_names)) {
      item.walked = here.held && held_root->held();
      item.identity = here.identity;
      item.root = held_root;
      plan.push_back(std::move(item));
    }
  }
  return plan;
}

}  // namespace qn
