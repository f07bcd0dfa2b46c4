#pragma once
// Where the program itself lies, and where the verification report goes: beside the executable,
// or, where that folder cannot be written, in the user's state folder.
#include <string>
#include <system_error>

namespace qn::platform {

// The report's file name.
inline constexpr const char* kReportFileName = "Quarnell Verify.txt";

// The full path of the running executable; empty when the system does not tell.
std::string program_file_path();
// The folder of the executable, ending in the separator; empty when unknown.
std::string program_folder();

// The report path: program_folder + kReportFileName when the program folder is the user's own
// (`program_folder_is_users`) and that file can be opened for writing (it is created empty when
// missing, the run overwrites it anyway); otherwise the same name in fallback_folder, which is
// created when missing. When neither can be written, the path in the program folder all the same
// (the fallback's when the program folder is not the user's), so that the failed write names it.
std::string choose_report_path(const std::string& program_folder, const std::string& fallback_folder,
                               bool program_folder_is_users);

// Whether a folder of owner `owner_uid` takes the reports of user `user_uid`: only the user's own
// (a build tree, a copy of the program), and never for root, whose own folders are the system's.
bool takes_users_reports(unsigned owner_uid, unsigned user_uid);

// Whether the Windows installer put the program in this folder: its uninstaller lies beside it.
bool installed_by_installer(const std::string& program_folder);

// ChooseReportPath with the executable's folder and $XDG_STATE_HOME/quarnell-verify/ (default
// ~/.local/state/quarnell-verify/); on Windows %LOCALAPPDATA%\Quarnell Verify\. On Windows
// a program folder the user can write is the user's unless the installer put the program there.
std::string report_path();

// A new folder `name` in `parent`, or "name (2)", "name (3)", ... where that name is taken: never
// one that was there before. Its path with the separator; empty with `error` set on failure.
std::string make_new_folder(const std::string& parent, const std::string& name, std::error_code& error);

}  // namespace qn::platform
