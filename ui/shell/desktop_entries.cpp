#include "ui/shell/desktop_entries.h"

#include <vector>

#include "base/text.h"

namespace qn {

namespace {

// Blanks, tabs and the CR of a CR LF line end.
std::string_view trim_space(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool ends_in_cr(std::string_view line) { return !line.empty() && line.back() == '\r'; }

// A line of mimeapps.list: the key part (up to and including "="), then `desktop_id` followed by
// the other applications of the old list, each ending in ";".
std::string default_list_line(std::string_view key_part, std::string_view old_list,
                              std::string_view desktop_id) {
  std::string line = std::string(key_part) + std::string(desktop_id) + ";";
  for (const std::string& item : text::split(old_list, ";")) {
    std::string_view id = trim_space(item);
    if (!id.empty() && id != desktop_id) line += std::string(id) + ";";
  }
  return line;
}

}  // namespace

std::string desktop_exec_argument(std::string_view argument) {
  // Inside double quotes, ", `, $ and \ are escaped with a backslash; % is a field code
  // character everywhere and is doubled.
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  // Exec is a string value, so its own escapes apply on top of the quoting.
  std::string out;
  for (char c : quoted) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string desktop_entry_text(std::string_view executable_path) {
  std::string t = "[Desktop Entry]\n";
  t += "Type=Application\n";
  t += "Version=1.0\n";
  t += "Name=" + std::string(kVerbName) + "\n";
  t += "Comment=Verify a collection folder against its checksum file\n";
  t += "Exec=" + desktop_exec_argument(executable_path) + " %f\n";
  t += "Icon=" + std::string(kIconName) + "\n";
  t += "Terminal=false\n";
  t += "Categories=AudioVideo;Audio;\n";
  t += "MimeType=" + std::string(kResourceMimeType) + ";\n";
  return t;
}

std::string service_menu_text(std::string_view executable_path) {
  std::string t = "[Desktop Entry]\n";
  t += "Type=Service\n";
  t += "Name=" + std::string(kVerbName) + "\n";
  t += "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n";
  t += "MimeType=audio/mpeg;image/jpeg;" + std::string(kResourceMimeType) + ";inode/directory;\n";
  t += "Actions=verify;\n";
  t += "\n";
  t += "[Desktop Action verify]\n";
  t += "Name=" + std::string(kVerbName) + "\n";
  t += "Icon=" + std::string(kIconName) + "\n";
  t += "Exec=" + desktop_exec_argument(executable_path) + " %f\n";
  return t;
}

std::string nautilus_script_text(std::string_view executable_path) {
  // The selected names come as arguments, relative to the folder shown (the working folder).
  std::string t = "#!/bin/sh\n";
  t += "# " + std::string(kVerbName) + ": verifies the collection folder of the selected file or folder.\n";
  t += "[ $# -gt 0 ] || exit 0\n";
  t += "case \"$1\" in\n";
  t += "  /*) target=\"$1\" ;;\n";
  t += "  *) target=\"$PWD/$1\" ;;\n";
  t += "esac\n";
  t += "exec " + shell_quoted(executable_path) + " \"$target\"\n";
  return t;
}

std::string nemo_action_text(std::string_view executable_path) {
  // Nemo splits Exec like a shell and puts each path in quotes of its own.
  std::string program = "\"";
  for (char c : executable_path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') program += '\\';
    program += c;
  }
  program += "\"";
  std::string t = "[Nemo Action]\n";
  t += "Name=" + std::string(kVerbName) + "\n";
  t += "Comment=Verify the collection folder against its checksum file\n";
  t += "Exec=" + program + " %F\n";
  t += "Icon-Name=" + std::string(kIconName) + "\n";
  t += "Selection=s\n";
  t += "Extensions=mp3;jpg;qn;dir;\n";
  return t;
}

std::string shell_quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string drop_from_mime_cache(std::string_view cache, std::string_view desktop_id,
                                 std::string_view kept_type) {
  std::vector<std::string> lines = text::split(cache, "\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    std::size_t eq = line.find('=');
    std::string_view type = trim_space(std::string_view(line).substr(0, eq == std::string::npos ? 0 : eq));
    if (eq == std::string::npos || type.empty() || type.front() == '[' || type == kept_type) {
      kept.push_back(line);
      continue;
    }
    std::string rest;
    for (const std::string& item : text::split(std::string_view(line).substr(eq + 1), ";")) {
      std::string_view id = trim_space(item);
      if (!id.empty() && id != desktop_id) rest += std::string(id) + ";";
    }
    if (!rest.empty()) kept.push_back(line.substr(0, eq + 1) + rest);
  }
  return kept.empty() ? std::string() : text::join(kept, "\n") + "\n";
}

std::string mime_package_text() {
  std::string t = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  t += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  t += "  <mime-type type=\"" + std::string(kResourceMimeType) + "\">\n";
  t += "    <comment>" + std::string(kResourceTypeName) + "</comment>\n";
  t += "    <sub-class-of type=\"text/plain\"/>\n";
  t += "    <icon name=\"" + std::string(kIconName) + "\"/>\n";
  t += "    <glob pattern=\"*.qn\"/>\n";
  t += "  </mime-type>\n";
  t += "</mime-info>\n";
  return t;
}

std::string_view icon_svg_text() {
  // The same drawing as ui/icons/quarnell-verify.svg.
  return R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="2" y="2" width="44" height="44" rx="8" fill="#23395d"/>
  <rect x="21" y="10" width="3" height="21" fill="#f4f1e8"/>
  <rect x="21" y="10" width="11" height="3" fill="#f4f1e8"/>
  <circle cx="18" cy="31" r="5" fill="#f4f1e8"/>
  <polyline points="26,34 31,39 41,26" fill="none" stroke="#5fd068" stroke-width="4" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
)svg";
}

std::string set_default_application(std::string_view mimeapps, std::string_view mime_type,
                                    std::string_view desktop_id) {
  std::vector<std::string> lines;
  if (!mimeapps.empty()) lines = text::split(mimeapps, "\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();  // the final line end
  const std::string cr = (!lines.empty() && ends_in_cr(lines.front())) ? "\r" : "";

  std::size_t group = lines.size();
  for (std::size_t i = 0; i < lines.size() && group == lines.size(); ++i)
    if (trim_space(lines[i]) == "[Default Applications]") group = i;

  if (group == lines.size()) {
    if (!lines.empty() && !trim_space(lines.back()).empty()) lines.push_back(cr);
    lines.push_back("[Default Applications]" + cr);
    lines.push_back(default_list_line(std::string(mime_type) + "=", "", desktop_id) + cr);
  } else {
    std::size_t insert_at = group + 1;
    bool replaced = false;
    for (std::size_t i = group + 1; i < lines.size() && !replaced; ++i) {
      std::string_view line = trim_space(lines[i]);
      if (!line.empty() && line.front() == '[') break;
      if (!line.empty()) insert_at = i + 1;
      std::size_t eq = lines[i].find('=');
      if (eq == std::string::npos || trim_space(std::string_view(lines[i]).substr(0, eq)) != mime_type)
        continue;
      std::string line_cr = ends_in_cr(lines[i]) ? "\r" : "";
      std::string_view list = trim_space(std::string_view(lines[i]).substr(eq + 1));
      lines[i] = default_list_line(lines[i].substr(0, eq + 1), list, desktop_id) + line_cr;
      replaced = true;
    }
    if (!replaced) {
      auto at = lines.begin() + static_cast<std::ptrdiff_t>(insert_at);
      lines.insert(at, default_list_line(std::string(mime_type) + "=", "", desktop_id) + cr);
    }
  }
  return text::join(lines, "\n") + "\n";
}

std::string remove_default_application(std::string_view mimeapps, std::string_view mime_type,
                                       std::string_view desktop_id) {
  std::vector<std::string> lines = text::split(mimeapps, "\n");
  const bool final_end = !lines.empty() && lines.back().empty();
  if (final_end) lines.pop_back();

  std::size_t group = lines.size();
  for (std::size_t i = 0; i < lines.size() && group == lines.size(); ++i)
    if (trim_space(lines[i]) == "[Default Applications]") group = i;
  if (group == lines.size()) return std::string(mimeapps);

  std::vector<bool> drop(lines.size(), false);
  bool changed = false;
  bool entries_left = false;
  std::size_t end = group + 1;
  for (; end < lines.size(); ++end) {
    std::string& line = lines[end];
    std::string_view trimmed = trim_space(line);
    if (!trimmed.empty() && trimmed.front() == '[') break;
    std::size_t eq = line.find('=');
    bool ours = false;
    std::string rest;
    if (eq != std::string::npos && trim_space(std::string_view(line).substr(0, eq)) == mime_type) {
      for (const std::string& item : text::split(trim_space(std::string_view(line).substr(eq + 1)), ";")) {
        std::string_view id = trim_space(item);
        if (id == desktop_id) ours = true;
        else if (!id.empty()) rest += std::string(id) + ";";
      }
    }
    if (ours) {
      changed = true;
      if (rest.empty()) drop[end] = true;
      else line = line.substr(0, eq + 1) + rest + (ends_in_cr(line) ? "\r" : "");
    }
    if (!drop[end] && !trimmed.empty()) entries_left = true;
  }
  if (!changed) return std::string(mimeapps);
  if (!entries_left) {
    // The group goes whole; at the end of the file, with the blank line that set it apart.
    for (std::size_t i = group; i < end; ++i) drop[i] = true;
    if (end == lines.size() && group > 0 && trim_space(lines[group - 1]).empty()) drop[group - 1] = true;
  }
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!drop[i]) kept.push_back(lines[i]);
  if (kept.empty()) return {};
  return text::join(kept, "\n") + (final_end ? "\n" : "");
}

}  // namespace qn
