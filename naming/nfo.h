#pragma once
// Companion .nfo files: the kind label of a missing entry, the sheet-music note, and placeholder
// creation.
#include <string>

namespace qn {

// " mp3 file", " Placeholder file" or " flac file".
std::string FileTypeLabel(const std::string& name, const std::string& extension);
// "  (" + artist + ")" for sheet-music lines without ".nfo", else the empty text.
std::string SheetMusicNote(const std::string& line);
// The middle one of exactly three parts split at " - ", else the empty text.
std::string MiddlePart(const std::string& text);

// True when folder + entry name stays inside the folder: no absolute path, no ".." component, no
// drive or root prefix, no empty name.
bool placeholder_name_is_safe(const std::string& entry_name);
// Creates folder + entry name holding the entry name and CR LF, only as a new file and only inside
// the folder (no link is followed below it). Returns true when it was created, false when a regular
// file of that name was already there (it is left byte for byte as it was). Throws StepError when
// the name would leave the folder, a link or a non-regular file stands in the way, the name is a
// device on Windows, or the file cannot be written.
bool create_placeholder(const std::string& folder, const std::string& entry_name);

}  // namespace qn
