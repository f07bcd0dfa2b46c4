#pragma once
// The shell registration, written at every start without a command-line argument: the verb
// "Quarnell Verify" on .mp3 and .jpg files and the checksum-file type "Quarnell Resource File"
// (.qn), each starting the program with the clicked file's path as its only argument. Windows
// keeps them in the registry; elsewhere the freedesktop files and the file managers' own
// right-click entries stand in for them, never a default application for audio or images. Every
// failure is silent.
#include <filesystem>
#include <string>
#include <vector>

#include "ui/shell/registry.h"

namespace qn {

// What the window's start-up calls: registers only when `command_line` is empty. Outside Windows
// nothing is written for a program in a system location (platform's program_in_system_location):
// its package installs the same files for every user.
// `executable_path` is the program's own executable, preferably as an absolute path.
void register_at_startup(const std::string& command_line, const std::string& executable_path);

// The program's folder (with its separator), its executable name without extension, ".exe %1".
// No quote marks are added.
std::string shell_command_text(const std::string& executable_path);
// The same folder and name, then ".exe,0".
std::string shell_icon_text(const std::string& executable_path);

// The six registry values, in their order; the results of the writes are not looked at.
void register_in_registry(RegistryClass& registry, const std::string& executable_path);

// The freedesktop equivalents under $XDG_DATA_HOME and $XDG_CONFIG_HOME, rewritten every time
// (each file of ours replaced whole, no other file touched); the desktop database tools are run
// when present.
void register_with_desktop(const std::string& executable_path);

// Undoes register_with_desktop for `executable_path`: each file of ours that still holds what a
// start writes for it is removed (one changed since, or a link, stays), our entry leaves the
// .qn line of mimeapps.list (the file rewritten whole, removed when nothing else was in it), and
// the desktop databases are built again by their tools, or removed where they were built for our
// files alone. Returns the files removed or rewritten.
std::vector<std::filesystem::path> unregister_from_desktop(const std::string& executable_path);

}  // namespace qn
