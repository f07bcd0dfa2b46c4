#pragma once
// The files an audio run looks its entries up in, and the kind of folder they make.
#include <string>
#include <vector>

#include "base/file_list.h"
#include "platform/find_files.h"

namespace qn {

struct FoundFiles {
  FileList list = empty_file_list();  // unsorted, as the searches give it
  bool flac = false;
  bool subfolder_mode = false;
  std::vector<platform::SearchProblem> problems;  // folders that could not be read (each once)
};

class RunHost;

// Decides the folder kind (enabling or disabling the host's ID3 options) and lists the files the
// entries are looked up in. The "Albums" folder is searched only when it is a real folder, not a
// link; folders that could not be listed are in `problems`.
FoundFiles build_found_list(const std::string& folder, RunHost& host);

// A "uLP" line of sub-folder mode: album tracks lie in a folder named after the chart part of
// their key, which the line gets in front of its name (or after its "Albums" folder).
std::string sub_folder_rewrite(const std::string& line);

// The pieces of a checksum line split at the folder's extension: the entry name, then the
// fingerprint field when the line holds the extension. A FLAC folder's ".flac.nfo" line is split
// at "XXXXX" instead, so that it stays whole.
std::vector<std::string> split_entry_line(const std::string& line, bool flac);

// The entry's file by the two exact lookups, folder + name + extension and then folder + name;
// the index into the found list, or -1.
int exact_lookup(const SortedIndex& index, const std::string& folder, const std::string& name,
                 const std::string& extension);

}  // namespace qn
