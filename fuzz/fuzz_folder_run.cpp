// Whole runs over a folder built from the input: its checksum file's bytes and any number of
// entries (regular files, folders, links leading outside, FIFOs) under names the input chooses.
// Between two of the run's calls, a sub-folder may be swapped for a link to a folder outside.
// Both runs, placeholders created, must leave everything outside the folder as it was and never
// open it, must never wait, and must give a report whose only controls are its own CR LF line ends.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "engine/host.h"
#include "engine/verify.h"
#include "fuzz_support.h"
#include "platform/file_access.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Scratch() {
  static const fs::path root = [] {
    const char* tmp = std::getenv("TMPDIR");
    fs::path p = fs::path(tmp && *tmp ? tmp : "/tmp") / ("qn-fuzz-run-" + std::to_string(::getpid()));
    fs::remove_all(p);
    fs::create_directories(p / "outside" / "dir");
    return p;
  }();
  return root;
}

// A name the input may use inside the folder: at most one "Albums/" level, no "..", no NUL.
std::string EntryName(std::string name) {
  if (name.size() > 120) name.resize(120);
  std::string out;
  for (char c : name) out += (c == '/' || c == '\0') ? '_' : c;
  if (out.empty() || out == "." || out == "..") out = "u1964_001 - A - B.mp3";
  return out;
}

void Place(const fs::path& folder, std::string_view piece) {
  if (piece.empty()) return;
  const int kind = static_cast<unsigned char>(piece[0]) % 6;
  std::string_view rest = piece.substr(1);
  const std::string name = EntryName(qn::fuzz::take_piece(rest, '\x02'));
  const fs::path at = (kind == 5 ? folder / "Albums" : folder) / name;
  std::error_code ec;
  // The harness itself must not write through a link it made, nor open a FIFO it made.
  if (kind == 5 && fs::is_symlink(fs::symlink_status(at.parent_path(), ec))) return;
  if (fs::exists(fs::symlink_status(at, ec))) return;
  fs::create_directories(at.parent_path(), ec);
  switch (kind) {
    case 0:
    case 5: {
      std::FILE* f = std::fopen(at.c_str(), "wb");
      if (!f) return;
      std::fwrite(rest.data(), 1, rest.size(), f);
      std::fclose(f);
      break;
    }
    case 1: fs::create_directory(at, ec); break;
    case 2: fs::create_symlink(Scratch() / "outside" / "keep.nfo", at, ec); break;
    case 3: fs::create_directory_symlink(Scratch() / "outside" / "dir", at, ec); break;
    case 4: ::mkfifo(at.c_str(), 0644); break;
  }
}

void CheckOutside() {
  const fs::path outside = Scratch() / "outside";
  std::size_t entries = 0;
  for (const auto& e : fs::recursive_directory_iterator(outside)) {
    (void)e;
    ++entries;
  }
  if (entries != 2) __builtin_trap();  // keep.nfo and dir, nothing new beside or below them
  std::FILE* f = std::fopen((outside / "keep.nfo").c_str(), "rb");
  if (!f) __builtin_trap();
  char buffer[16] = {};
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, f);
  std::fclose(f);
  if (std::string_view(buffer, got) != "keep") __builtin_trap();
}

// Between its CR LF line ends the report shows nothing a terminal would act on: no C0 or C1
// control, no direction control, no stray byte that an 8-bit terminal reads as one.
void CheckReport(const std::string& text) {
  for (const std::string& line : qn::text::split(text, "\r\n"))
    if (qn::text::printable(line) != line) __builtin_trap();
}

// The attacker between two calls: at the n-th open of the run, "Albums" becomes a link to the
// folder outside. Every descriptor the run gets is checked against what lies outside.
struct Swap {
  static inline int calls = 0;
  static inline int strike_at = 0;
  static inline fs::path folder;
  static inline std::vector<struct stat> outside;

  static void strike() {
    if (++calls != strike_at) return;
    std::error_code ec;
    const fs::path albums = folder / "Albums";
    if (!fs::is_directory(fs::symlink_status(albums, ec))) return;
    fs::rename(albums, folder / ".gone", ec);
    if (!ec) fs::create_directory_symlink(Scratch() / "outside" / "dir", albums, ec);
  }
  static int checked(int fd) {
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0)
      for (const struct stat& o : outside)
        if (o.st_dev == st.st_dev && o.st_ino == st.st_ino) __builtin_trap();
    return fd;
  }
  static int open(const char* path, int flags, mode_t mode) {
    strike();
    return checked(qn::platform::real_system_calls().open(path, flags, mode));
  }
  static int openat(int dir, const char* name, int flags, mode_t mode) {
    strike();
    return checked(qn::platform::real_system_calls().openat(dir, name, flags, mode));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path folder = Scratch() / "folder";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  {
    std::FILE* f = std::fopen((Scratch() / "outside" / "keep.nfo").c_str(), "wb");
    std::fputs("keep", f);
    std::fclose(f);
  }
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string qn = qn::fuzz::take_piece(rest, '\x01');
  {
    std::FILE* f = std::fopen((folder / "c.qn").c_str(), "wb");
    std::fwrite(qn.data(), 1, qn.size(), f);
    std::fclose(f);
  }
  for (int entries = 0; !rest.empty() && entries < 16; ++entries) Place(folder, qn::fuzz::take_piece(rest, '\x01'));

  Swap::folder = folder;
  Swap::calls = 0;
  Swap::strike_at = static_cast<int>(size % 24) + 1;
  Swap::outside.clear();
  for (const fs::path& p : {Scratch() / "outside", Scratch() / "outside" / "dir", Scratch() / "outside" / "keep.nfo"}) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) Swap::outside.push_back(st);
  }
  qn::platform::SystemCalls& calls = qn::platform::system_calls();
  calls.open = Swap::open;
  calls.openat = Swap::openat;

  const std::string folder_text = folder.string() + "/";
  qn::QuietHost host;
  qn::RunOptions create;
  create.create_nfo = true;
  const qn::RunResult audio = qn::VerifyAudioFolder(folder_text, folder_text + "c.qn", create, host);
  CheckReport(audio.report_text);
  const qn::RunResult labels = qn::VerifyLabelFolder(folder_text, folder_text + "c.qn", {}, host);
  CheckReport(labels.report_text);
  calls = qn::platform::real_system_calls();
  CheckOutside();
  return 0;
}
