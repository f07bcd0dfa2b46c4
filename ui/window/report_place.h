#pragma once
// Where the window's verification report goes, and its writing: beside the executable when that
// folder is the user's own and can be written, otherwise in the user's state folder.
#include <string>

#include "engine/host.h"

namespace qn {

// The report's file name.
inline constexpr const char* kReportFileName = "Quarnell Verify.txt";

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

// choose_report_path with the executable's folder and the state folder's "quarnell-verify" (on
// Windows "Quarnell Verify"). On Windows a program folder the user can write is the user's unless
// the installer put the program there.
std::string report_path();

// Writes the report with `text` as a new file renamed over the name (a link planted there is
// replaced, another name of the file that stood there keeps its bytes). A failure is shown through
// the host with the report path as its context line, and false is returned.
bool write_report(const std::string& report_path, const std::string& text, RunHost& host);

}  // namespace qn
