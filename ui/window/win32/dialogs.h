#pragma once
// The dialogs of the Win32 window and the desktop calls around it. Texts in and out are UTF-8.
#include <windows.h>

#include <string>

namespace qn {

// The shell's folder dialog, owned by the active window, opening at `start_folder`: the chosen
// folder, or the empty text when cancelled or when the choice is no file-system folder.
std::string browse_for_folder_dialog(const std::string& prompt, const std::string& start_folder);
// The open-file dialog for one existing checksum file: its full path, or the empty text.
std::string open_checksum_file_dialog(HWND owner, const std::string& prompt, const std::string& folder);
// The error box, with an OK button. With `offer_silence`, a check box offers `silence_text`
// (where the task dialog is missing, a second box asks it after the error's); true when the user
// took it.
bool error_box(HWND owner, const std::string& title, const std::string& text, bool offer_silence,
               const std::string& silence_text);
bool yes_no_box(HWND owner, const std::string& title, const std::string& text);
// Notepad on the file, else the file type's own "open"; false when neither could be started.
bool open_with_notepad(HWND owner, const std::string& path);
// The user's profile folder; empty when the system does not tell.
std::string user_profile_folder();

}  // namespace qn
