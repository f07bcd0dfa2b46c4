#pragma once
// The files a run reads, which nothing the command line writes (--report, --output) may replace
// under any name: their device and inode are taken once, before the run.
#include <string>
#include <vector>

#include "engine/collection_walk.h"
#include "platform/file_access.h"

namespace qn::cli {

struct KeptFiles {
  std::vector<std::string> paths;
  std::vector<platform::FileIdentity> identities;  // one per path
};

// The checksum files of the plan's runs, and the files of each of its folders and of their
// "Albums" folders; without the folders' checksum files when `checksum_files` is false (--create
// reads none of them, and --force may replace one).
KeptFiles files_read_by(const std::vector<PlanItem>& plan, bool checksum_files = true);

// The kept file that `path` already is, under this or any other name and a link at it followed;
// empty when none.
std::string kept_file_at(const KeptFiles& kept, const std::string& path);

}  // namespace qn::cli
