#include "engine/create_checksums.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "audio/block_sums.h"
#include "audio/track_fingerprint.h"
#include "base/file_list.h"
#include "base/paths.h"
#include "base/text.h"
#include "engine/found_list.h"
#include "engine/run_steps.h"
#include "engine/verify_labels.h"
#include "naming/nfo.h"
#include "naming/track_key.h"
#include "platform/byte_file.h"
#include "platform/find_files.h"
#include "platform/output_file.h"

namespace qn {

namespace {

[[noreturn]] void not_nameable(const std::string& why, const std::string& path) {
  throw StepError(kErrInvalidArgument, "No checksum line can name the file: " + why + ": " + path);
}

// Names that a line cannot carry as they stand on disk.
void check_name(const std::string& relative, const std::string& path) {
  if (relative.find_first_of("\r\n") != std::string::npos) not_nameable("its name holds a line break", path);
#ifndef _WIN32
  // Lines are written with "\" between folders and every "\" is read back as a separator.
  if (relative.find('\\') != std::string::npos) not_nameable("its name holds a \"\\\"", path);
#endif
  // Neither the file nor a folder on its way (such as "Albums") may lead out of the folder.
  const std::string folder = path.substr(0, path.size() - relative.size());
  for (std::size_t end = relative.find(kSep); end != std::string::npos; end = relative.find(kSep, end + 1))
    if (platform::is_symbolic_link(folder + relative.substr(0, end))) not_nameable("it lies in a linked folder", path);
  if (platform::is_symbolic_link(path)) not_nameable("it is a symbolic link, and links are not followed", path);
}

// The relative path as a checksum line writes it: "\" between folders, as the files come from Windows.
std::string line_path(const std::string& relative) {
  std::string s = relative;
  std::replace(s.begin(), s.end(), kSep, '\\');
  return s;
}

// A track of the folder's kind, in any letter case of its extension, as the file search finds it.
bool is_track_name(const std::string& name, bool flac) {
  const std::string extension = flac ? ".flac" : ".mp3";
  return name.size() > extension.size() && text::iequals(text::right(name, extension.size()), extension);
}

// A track line carries its values; a placeholder line names its file in full.
std::string audio_line(const std::string& relative, const std::string& path, bool flac, bool six_values) {
  const std::string extension = flac ? ".flac" : ".mp3";
  const std::string name = FileNameOfPath(path);
  if (is_track_name(name, flac)) {
    platform::ByteFile file(path);
    // The line splits at the extension in small letters; the run's lookup finds ".MP3" by it too.
    const std::string stem = relative.substr(0, relative.size() - extension.size());
    return line_path(stem) + extension + (flac ? flac_fingerprint_values(file) : mp3_fingerprint_values(file, six_values));
  }
  if (text::iequals(text::right(name, 4), ".nfo")) return line_path(relative);
  not_nameable("the run looks it up but checks only names ending in \"" + extension + "\"", path);
}

// The line as the run would take it, and the list index its exact lookups give.
int audio_lookup(const std::string& line, const std::string& folder, const FoundFiles& found,
                 const SortedIndex& index, std::vector<std::string>& pieces) {
  std::string used = to_native_separators(line);
  if (found.subfolder_mode && text::contains(used, "uLP")) used = sub_folder_rewrite(used);
  pieces = split_entry_line(used, found.flac);
  SheetMusicNote(used);  // a line whose note cannot be formed would fail its entry
  return exact_lookup(index, folder, pieces[0], found.flac ? ".flac" : ".mp3");
}

// The lines worth trying: as written on disk and, in sub-folder mode, without one of its folders,
// since the run puts a folder named after the track key back in.
std::vector<std::string> line_forms(const std::string& line, bool subfolder_mode) {
  std::vector<std::string> forms = {line};
  if (!subfolder_mode) return forms;
  for (std::size_t at = line.find('\\'); at != std::string::npos; at = line.find('\\', at + 1)) {
    std::size_t begin = line.rfind('\\', at - 1);
    begin = (at == 0 || begin == std::string::npos) ? 0 : begin + 1;
    forms.push_back(line.substr(0, begin) + line.substr(at + 1));
  }
  return forms;
}

// The form of the line under which the run finds exactly this file, as a track line when it is a
// track (a placeholder line otherwise); throws when there is none.
std::string line_the_run_finds(const std::string& line, bool track, const std::string& folder,
                               const FoundFiles& found, const SortedIndex& index, int wanted) {
  for (const std::string& form : line_forms(line, found.subfolder_mode)) {
    std::vector<std::string> pieces;
    int at = -1;
    try {
      at = audio_lookup(form, folder, found, index, pieces);
    } catch (const StepError&) {
      continue;
    }
    if (at == wanted && (pieces.size() > 1) == track) return form;
  }
  not_nameable("the run would look it up under another name or find another file", index.list()[wanted]);
}

CreatedChecksums create_audio_lines(const std::string& folder, const CreateSettings& settings, RunHost& host,
                                    FileList& looked_at) {
  CreatedChecksums created;
  RunResult errors;
  StepGuard guard(host, errors);
  FoundFiles found = build_found_list(folder, host);
  // A linked or unreadable folder gives no lines: each is one error, as in a verification run.
  for (const platform::SearchProblem& problem : found.problems)
    guard.report(problem.error, problem.error == ELOOP
                                    ? "No lines: the folder is a link, and links are not followed: " + problem.folder
                                    : "No lines: reading the folder failed: " + std::string(std::strerror(problem.error)) +
                                          ": " + problem.folder,
                 "");
  SortFileList(found.list);
  created.kind = found.flac ? FolderKind::kFlac : FolderKind::kMp3;
  created.nothing_found = file_count(found.list) < 1;
  FileList claimed = found.list;  // what the run's claims leave of the list, line by line
  const SortedIndex index(claimed);
  for (int i = 1; i <= file_count(found.list); ++i) {
    const std::string& path = found.list[i];
    host.show_progress(path);
    guard.run("", [&] {
      const std::string relative = path.substr(folder.size());
      check_name(relative, path);
      TrackKey(path);  // the run forms the key of every file it finds
      const bool track = is_track_name(FileNameOfPath(path), found.flac);
      std::string line = audio_line(relative, path, found.flac, settings.six_values);
      line = line_the_run_finds(line, track, folder, found, index, i);
      created.lines.push_back(line);
      claimed[i].clear();
    });
  }
  created.errors = std::move(errors.errors);
  looked_at = std::move(found.list);
  return created;
}

CreatedChecksums create_label_lines(const std::string& folder, RunHost& host, FileList& looked_at) {
  CreatedChecksums created;
  created.kind = FolderKind::kLabels;
  RunResult errors;
  StepGuard guard(host, errors);
  FileList images = platform::FindFiles(folder, "u*.jpg", false);
  SortFileList(images);
  created.nothing_found = file_count(images) < 1;
  FileList claimed = images;
  const SortedIndex index(claimed);
  for (int i = 1; i <= file_count(images); ++i) {
    const std::string& path = images[i];
    host.show_progress(path);
    guard.run("", [&] {
      const std::string name = FileNameOfPath(path);
      check_name(name, path);
      if (name.find('\xFF') != std::string::npos) not_nameable("its name holds the byte FF that separates the fields", path);
      platform::ByteFile image(path);
      const std::string line = name + "\xFF" + std::to_string(image.length()) + "\xFF" + FourDigitHex(BlockSum255(image, 0));
      if (index.first_lookup(folder + split_label_line(to_native_separators(line))[0]) != i)
        not_nameable("the run would find another image under its name", path);
      created.lines.push_back(line);
      claimed[i].clear();
    });
  }
  created.errors = std::move(errors.errors);
  looked_at = std::move(images);
  return created;
}

}  // namespace

CreatedChecksums create_checksum_lines(const std::string& folder, const CreateSettings& settings, RunHost& host) {
  // Held for the whole run: nothing in it is reached by its path again.
  const platform::HeldFolder held(folder);
  FileList looked_at;  // sorted
  CreatedChecksums created = settings.labels ? create_label_lines(folder, host, looked_at)
                                             : create_audio_lines(folder, settings, host, looked_at);
  FileList everything = platform::FindFiles(folder, "*", false);
  SortFileList(everything);
  for (int i = 1; i <= file_count(everything); ++i)
    if (!std::binary_search(looked_at.begin() + 1, looked_at.end(), everything[i]))
      created.not_listed.push_back(everything[i]);
  return created;
}

std::string checksum_file_text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace qn
