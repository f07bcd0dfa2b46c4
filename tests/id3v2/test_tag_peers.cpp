// Tags written by Update, read back by real tag readers: mutagen and Debian's id3v2 tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "id3v2/cMP3ID3v2.h"
#include "tag_test_files.h"

namespace qn {
namespace {

using namespace test;

// Frames as mutagen sees them, one "key=text" line each, sorted; the first line is the version.
const char* const kMutagenScript = R"(import sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1], translate=False)
print("version " + ".".join(map(str, t.version)))
for line in sorted(f.HashKey + "=" + str(f) for f in t.values()):
    print(line)
)";

#ifndef _WIN32
std::string quoted(const std::string& s) { return "'" + s + "'"; }

bool has_tool(const std::string& probe) { return std::system((probe + " >/dev/null 2>&1").c_str()) == 0; }

std::string output_of(const std::string& command) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}
#endif

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> mutagen_frames(const TempFolder& scratch, const std::string& path) {
#ifdef _WIN32
  (void)scratch;
  (void)path;
  return {};
#else
  const std::string script = scratch.write("list_frames.py", kMutagenScript);
  return lines_of(output_of("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + quoted(script) + " " + quoted(path)));
#endif
}

// The "ID (name): text" lines the id3v2 tool lists for the ID3v2 tag, as "ID: text".
std::vector<std::string> id3v2_tool_frames(const std::string& path) {
  std::vector<std::string> frames;
#ifndef _WIN32
  bool in_v2 = false;
  for (const std::string& line : lines_of(output_of("id3v2 -l " + quoted(path)))) {
    if (line.rfind("id3v2 tag info", 0) == 0) in_v2 = true;
    const std::size_t name_end = line.find("): ");
    if (in_v2 && line.size() > 5 && line[4] == ' ' && name_end != std::string::npos) {
      frames.push_back(line.substr(0, 4) + ": " + line.substr(name_end + 3));
    }
  }
#else
  (void)path;
#endif
  return frames;
}

#ifdef _WIN32
#define REQUIRE_MUTAGEN() GTEST_SKIP() << "the peer readers are run through a POSIX shell"
#define REQUIRE_ID3V2_TOOL() GTEST_SKIP() << "the peer readers are run through a POSIX shell"
#else
#define REQUIRE_MUTAGEN()                                  \
  if (!has_tool("/usr/bin/python3 -c 'import mutagen'")) \
  GTEST_SKIP() << "python3-mutagen is not installed: /usr/bin/python3 cannot import mutagen"
#define REQUIRE_ID3V2_TOOL() \
  if (!has_tool("id3v2 --version")) GTEST_SKIP() << "Debian's id3v2 tool is not installed"
#endif

void set_common_frames(cMP3ID3v2& tag) {
  tag.Title("Help");
  tag.Artist("The Artist");
  tag.Album("An Album");
  tag.Year("2001");
  tag.Track("3/12");
  tag.Comment("A note");
  tag.OtherGenreName("Rock");
}

TEST(cMP3ID3v2Peers, MutagenReadsANewTagFrameByFrame) {
  REQUIRE_MUTAGEN();
  TempFolder scratch;
  const std::string path = scratch.write("a.mp3", fixture_bytes("no_tag.mp3"));
  cMP3ID3v2 tag;
  tag.MP3File(path);
  set_common_frames(tag);
  tag.Update();
  const std::vector<std::string> expected{"version 2.3.0", "COMM::eng=A note", "TALB=An Album", "TCON=Rock",
                                          "TIT2=Help",     "TPE1=The Artist",  "TRCK=3/12",     "TYER=2001"};
  EXPECT_EQ(mutagen_frames(scratch, path), expected);
}

TEST(cMP3ID3v2Peers, Id3v2ToolReadsANewTagFrameByFrame) {
  REQUIRE_ID3V2_TOOL();
  TempFolder scratch;
  const std::string path = scratch.write("a.mp3", fixture_bytes("no_tag.mp3"));
  cMP3ID3v2 tag;
  tag.MP3File(path);
  set_common_frames(tag);
  tag.Update();
  // In the order of the frame list: every set form moved its id to the end.
  const std::vector<std::string> expected{"TIT2: Help", "TPE1: The Artist", "TALB: An Album",
                                          "TYER: 2001", "TRCK: 3/12",       "COMM: ()[eng]: A note",
                                          "TCON: Rock (17)"};  // the tool adds the number it knows
  EXPECT_EQ(id3v2_tool_frames(path), expected);
}

TEST(cMP3ID3v2Peers, LoadedUtf16TagWrittenBackKeepsItsTextsAndAudio) {
  REQUIRE_MUTAGEN();
  TempFolder scratch;
  const std::string original = fixture_bytes("v23_utf16_tcon_rock.mp3");
  const std::string path = scratch.write("a.mp3", original);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  const std::string raw_title = tag.Title();
  const std::size_t old_end = 10 + static_cast<std::size_t>(tag.ID3v2TagLenOnLoad());
  tag.Album("Added");
  tag.Composer(std::string(3000, 'c'));  // more than the old tag holds: the file grows
  tag.Update();

  const std::vector<std::string> expected{"version 2.3.0", "COMM::eng=Note", "TALB=Added",
                                          "TCOM=" + std::string(3000, 'c'), "TCON=Rock",
                                          "TIT2=H\xC3\xA9lp", "TPE1=Art"};
  EXPECT_EQ(mutagen_frames(scratch, path), expected);

  const std::string bytes = read_bytes(path);
  const std::size_t new_end = 10 + synchsafe_at(bytes, 6);
  EXPECT_TRUE(bytes.substr(new_end) == original.substr(old_end));
  cMP3ID3v2 again;
  again.MP3File(path);
  // The zero byte restored to the last UTF-16 character is a trailing NUL our reader strips again.
  EXPECT_EQ(again.Title(), raw_title);
}

TEST(cMP3ID3v2Peers, TagRewrittenInPlaceKeepsEveryCommentForTheId3v2Tool) {
  REQUIRE_ID3V2_TOOL();
  TempFolder scratch;
  const std::string original = fixture_bytes("v23_latin1_tcon17_three_comm.mp3");
  const std::string path = scratch.write("a.mp3", original);
  const std::vector<std::string> before = id3v2_tool_frames(path);
  cMP3ID3v2 tag;
  tag.MP3File(path);
  const std::size_t tag_end = 10 + static_cast<std::size_t>(tag.ID3v2TagLenOnLoad());
  tag.Title("Changed");
  tag.Update();

  const std::string bytes = read_bytes(path);
  ASSERT_EQ(bytes.size(), original.size());
  EXPECT_TRUE(bytes.substr(tag_end) == original.substr(tag_end));
  const std::vector<std::string> after = id3v2_tool_frames(path);
  ASSERT_EQ(before.size(), 7u);
  ASSERT_EQ(after.size(), 7u);
  EXPECT_EQ(after.back(), "TIT2: Changed");
  // The other frames are listed as before, in their order.
  EXPECT_EQ(std::vector<std::string>(after.begin(), after.end() - 1),
            std::vector<std::string>(before.begin() + 1, before.end()));
}

}  // namespace
}  // namespace qn
