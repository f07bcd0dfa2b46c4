#include "cli/kept_files.h"

#include <algorithm>

#include "base/paths.h"
#include "base/text.h"
#include "platform/find_files.h"

namespace qn::cli {

KeptFiles files_read_by(const std::vector<PlanItem>& plan, bool checksum_files) {
  KeptFiles kept;
  auto keep = [&kept](const std::string& path) {
    platform::FileIdentity identity;
    if (!platform::file_identity(path, identity)) return;
    kept.paths.push_back(path);
    kept.identities.push_back(identity);
  };
  std::string last_folder;
  for (const PlanItem& item : plan) {
    if (!item.checksum_file.empty()) keep(item.checksum_file);
    if (item.folder == last_folder || item.kind == ItemKind::kProblem) continue;
    last_folder = item.folder;
    FileList files = platform::FindFiles(item.folder, "*", false);
    FileList albums = platform::FindFiles(item.folder + "Albums" + kSep, "*", true, nullptr, false);
    files.insert(files.end(), albums.begin() + 1, albums.end());
    for (std::size_t i = 1; i < files.size(); ++i)
      if (checksum_files || !text::iequals(text::right(files[i], 3), ".qn")) keep(files[i]);
  }
  return kept;
}

std::string kept_file_at(const KeptFiles& kept, const std::string& path) {
  platform::FileIdentity target;
  if (!platform::file_identity(path, target)) return {};  // a new file replaces nothing
  const auto at = std::find(kept.identities.begin(), kept.identities.end(), target);
  return at == kept.identities.end() ? std::string() : kept.paths[static_cast<std::size_t>(at - kept.identities.begin())];
}

}  // namespace qn::cli
