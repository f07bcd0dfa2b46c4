#include "platform/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/step_error.h"

namespace qn::platform {

namespace {

OutputError refusal(const std::string& reason, const std::string& path, bool kept_file = false) {
  return {kErrRefused, "Not written: " + reason + ": " + path, reason, kept_file};
}

// A failed system call: errno as it was, or one of ours when it was not set.
OutputError call_failure(const char* what, int err, const std::string& path) {
  const std::string reason = err != 0 ? std::string(std::strerror(err)) : std::string("the system gave no reason");
  return {err != 0 ? err : kErrFileAccess, std::string(what) + " failed: " + reason + ": " + path, reason, false};
}

// The name's own rules: at the start, whatever stands there; just before the rename, only whether
// it has become one of the kept files (a link that appeared meanwhile is replaced, harmlessly).
std::optional<OutputError> check_name(const platform::FileBeside& file, const OutputRules& rules,
                                      const std::string& path, bool start) {
  std::optional<platform::EntryType> kind;
  platform::FileIdentity identity;
  if (!file.look(kind, identity, !rules.kept.empty())) return call_failure("Writing", errno, path);
  if (!kind) return std::nullopt;
  if (std::find(rules.kept.begin(), rules.kept.end(), identity) != rules.kept.end())
    return refusal("it would replace a file that the run reads", path, true);
  if (!start) return std::nullopt;
  if (*kind == platform::EntryType::kLink && rules.refuse_links) return refusal("the file is a symbolic link", path);
  if (*kind != platform::EntryType::kFile && *kind != platform::EntryType::kLink) return refusal("not a regular file", path);
  if (!rules.replace) return refusal(rules.taken_reason, path);
  return std::nullopt;
}

// The last component of `path` (after either separator on Windows), and what comes before it.
struct SplitPath {
  std::string folder;  // with its separator; empty for the current folder
  std::string name;
};

SplitPath split(const std::string& path) {
#ifdef _WIN32
  const std::size_t at = path.find_last_of("/\\");
#else
  const std::size_t at = path.rfind('/');
#endif
  if (at == std::string::npos) return {"", path};
  return {path.substr(0, at + 1), path.substr(at + 1)};
}

}  // namespace

NewFileInPlace::NewFileInPlace(const std::string& path, const OutputRules& rules) : path_(path), rules_(rules) {
  error_ = start();
  if (error_) file_.discard();
}

std::optional<OutputError> NewFileInPlace::start() {
  const SplitPath parts = split(path_);
  if (parts.name.empty() || parts.name == "." || parts.name == "..") return refusal("not a file name", path_);
#ifdef _WIN32
  if (platform::names_windows_device(parts.name)) return refusal("a reserved device name", path_);
#endif
  // The folder is the one the user named, links and all; everything after happens inside it.
  if (!file_.open(parts.folder, parts.name)) return call_failure("Opening the folder of", errno, path_);
  if (auto refused = check_name(file_, rules_, path_, true)) return refused;
  bool created = false;
  for (int attempt = 0; !created && attempt < 16; ++attempt) {
    created = file_.create(platform::temporary_name(parts.name));
    if (!created && errno != EEXIST) break;
  }
  if (!created) return call_failure("Creating a temporary file beside", errno, path_);
  return std::nullopt;
}

bool NewFileInPlace::append(std::string_view bytes) {
  if (error_ || committed_) return false;
  if (file_.write(bytes)) return true;
  error_ = call_failure("Writing", errno, path_);
  file_.discard();
  return false;
}

std::optional<OutputError> NewFileInPlace::commit() {
  if (error_ || committed_) return error_;
  error_ = finish();
  if (error_) {
    file_.discard();
    return error_;
  }
  committed_ = true;
  return std::nullopt;
}

std::optional<OutputError> NewFileInPlace::finish() {
  if (!file_.finish()) return call_failure("Writing", errno, path_);
  if (auto refused = check_name(file_, rules_, path_, false)) return refused;
  if (!file_.place(rules_.replace)) {
    if (errno == EEXIST) return refusal(rules_.taken_reason, path_);
    return call_failure("Writing", errno, path_);
  }
  return std::nullopt;
}

std::optional<OutputError> write_file_atomically(const std::string& path, const std::string& bytes,
                                                 const OutputRules& rules) {
  NewFileInPlace file(path, rules);
  file.append(bytes);
  return file.commit();
}

}  // namespace qn::platform
