#pragma once
// Where the program itself lies, and where the verification report goes: beside the executable,
// or, where that folder cannot be written, in the user's state folder.
#include <string>

namespace qn {

// The report's file name.
inline constexpr const char* kReportFileName = "Quarnell Verify.txt";

// The full path of the running executable; empty when the system does not tell.
std::string program_file_path();
// The folder of the executable, ending in the separator; empty when unknown.
std::string program_folder();

// The report path: program_folder + kReportFileName when that file can be opened for writing
// (it is created empty when missing, the run overwrites it anyway); otherwise the same name in
// fallback_folder, which is created when missing. When neither can be written, the path in the
// program folder all the same, so that the failed write names it.
std::string choose_report_path(const std::string& program_folder, const std::string& fallback_folder);

// ChooseReportPath with the executable's folder and $XDG_STATE_HOME/quarnell-verify/ (default
// ~/.local/state/quarnell-verify/); on Windows %LOCALAPPDATA%\Quarnell Verify\.
std::string report_path();

}  // namespace qn
