#pragma once
// Where the program itself lies, and what the choice of the report's place asks of the system.
#include <string>
#include <system_error>

namespace qn::platform {

// The full path of the running executable; empty when the system does not tell.
std::string program_file_path();
// The folder of the executable, ending in the separator; empty when unknown.
std::string program_folder();

// The user's folder for programs' state ($XDG_STATE_HOME, default ~/.local/state; on Windows
// %LOCALAPPDATA%), without its separator; empty when unknown.
std::string user_state_folder();

// Whether the file can be written: it is opened for appending, so an existing one keeps its bytes
// and a missing one is created empty.
bool can_append_to(const std::string& path);
// Creates the folder and the folders above it that are missing; false when it is not there after.
bool make_folders(const std::string& folder);
// Whether something stands at the path (a link is followed).
bool path_exists(const std::string& path);

// The owner of the folder and the user the program runs as; false where the system has no owners
// of that kind (Windows) or the folder cannot be looked at.
bool folder_owner(const std::string& folder, unsigned& owner_uid, unsigned& user_uid);

// A new folder `name` in `parent`, or "name (2)", "name (3)", ... where that name is taken: never
// one that was there before. Its path with the separator; empty with `error` set on failure.
std::string make_new_folder(const std::string& parent, const std::string& name, std::error_code& error);

}  // namespace qn::platform
