#pragma once
// The walk of a collection run (`qnverify -r` and the window's many-folder run): every folder at
// or below a root that holds a checksum file becomes one or two runs (audio, labels), in byte
// order of the folder paths. Folders that cannot be read
// and folders with several checksum files of one kind become problems in that same order.
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "engine/planned_folder.h"
#include "platform/file_access.h"
#include "platform/find_files.h"

namespace qn {

// One thing the collection run does (a planned folder), or one thing it could not do (kind
// kProblem; no checksum file then).
struct PlanItem : PlannedFolder {
  PlanItem() { kind = ItemKind::kProblem; }
  int error_number = 0;       // problems only
  std::string message;        // problems only
  // The folder as the walk listed it (`walked`), and the walk's root, held while the plan lives:
  // the run reaches the folder from it again and takes it only while it is still that folder.
  bool walked = false;
  platform::FileIdentity identity;
  std::shared_ptr<const platform::HeldFolder> root;
};

// Lists a folder; returns false with `error` set when the folder cannot be read. The walk takes
// it as a parameter so tests can make any folder fail.
using FolderLister =
    std::function<bool(const std::string& folder, std::vector<platform::SearchEntry>& entries, std::error_code& error)>;

// The lister over the real file system; links to folders are listed but not entered.
bool list_real_folder(const std::string& folder, std::vector<platform::SearchEntry>& entries, std::error_code& error);

// The plan for the folder `root` (a folder text, with or without its separator). The root is
// opened once (following links in its own path, which the user named) and held; each folder
// below is opened from its parent without following links and listed through what was opened.
std::vector<PlanItem> walk_collection(const std::string& root, const FolderLister& lister = list_real_folder);

// Opens and holds the folder of a walked item for its run: reached from the held root without
// following links, still the folder the walk listed, and its checksum file a regular file there.
// Otherwise nothing is held and `problem` becomes a problem item saying why: nothing in the folder
// may be read or created then. Items not made by a walk are held as they are named.
std::unique_ptr<platform::HeldFolder> hold_walked_folder(const PlanItem& item, PlanItem& problem);

// The runs that one folder with the given file names asks for (several checksum files of a kind
// give a problem instead of a run). `folder` ends in the separator.
std::vector<PlanItem> plan_folder(const std::string& folder, const std::vector<std::string>& file_names);

}  // namespace qn
