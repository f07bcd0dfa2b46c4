#include "ui/window/report_place.h"

#include "base/paths.h"
#include "platform/find_files.h"
#include "platform/output_file.h"
#include "platform/program_folder.h"

namespace qn {

std::string choose_report_path(const std::string& program_folder, const std::string& fallback_folder,
                               bool program_folder_is_users) {
  std::string beside_program = platform::AddBackslash(program_folder) + kReportFileName;
  const bool beside = program_folder_is_users && !program_folder.empty();
  if (beside && platform::can_append_to(beside_program)) return beside_program;
  if (fallback_folder.empty()) return beside_program;
  platform::make_folders(fallback_folder);
  std::string in_state = platform::AddBackslash(fallback_folder) + kReportFileName;
  if (platform::can_append_to(in_state)) return in_state;
  return beside ? beside_program : in_state;
}

bool takes_users_reports(unsigned owner_uid, unsigned user_uid) { return owner_uid == user_uid && user_uid != 0; }

bool installed_by_installer(const std::string& program_folder) {
  return platform::path_exists(platform::AddBackslash(program_folder) + "Uninstall.exe");
}

std::string report_path() {
  const std::string state = platform::user_state_folder();
  const std::string program = platform::program_folder();
#ifdef _WIN32
  // An installed program lies under Program Files, which only administrators may write.
  const std::string fallback = state.empty() ? std::string() : state + "\\Quarnell Verify";
  // An installed copy (its uninstaller beside it) keeps no reports: the uninstaller would leave
  // them, and with them the program's folder. A portable copy the user can write takes them.
  const bool users = !program.empty() && !installed_by_installer(program);
#else
  const std::string fallback = state.empty() ? std::string() : platform::AddBackslash(state) + "quarnell-verify";
  unsigned owner = 0, user = 0;
  const bool users = !program.empty() && platform::folder_owner(program, owner, user) && takes_users_reports(owner, user);
#endif
  return choose_report_path(program, fallback, users);
}

bool write_report(const std::string& report_path, const std::string& text, RunHost& host) {
  const std::optional<platform::OutputError> failed = platform::write_file_atomically(report_path, text);
  if (!failed) return true;
  host.show_error(failed->number, "Writing the report failed: " + failed->reason, report_path);
  return false;
}

}  // namespace qn
