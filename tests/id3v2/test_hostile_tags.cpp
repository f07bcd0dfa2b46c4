// Tags built byte by byte: search rules, TCON parsing, and sizes that lie about the file.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>
#include <filesystem>
#include <string>

#include "id3v2/cMP3ID3v2.h"
#include "support/fixtures.h"

namespace qn {
namespace {

std::string synchsafe(std::uint32_t n) {
  return {char((n >> 21) & 0x7F), char((n >> 14) & 0x7F), char((n >> 7) & 0x7F), char(n & 0x7F)};
}
std::string be32(std::uint32_t n) { return {char(n >> 24), char(n >> 16), char(n >> 8), char(n)}; }

std::string header(char version, std::uint32_t size) {
  return std::string("ID3") + version + std::string(2, '\0') + synchsafe(size);
}
std::string frame3(const std::string& id, const std::string& content) {
  return id + be32(static_cast<std::uint32_t>(content.size())) + std::string(2, '\0') + content;
}
// A version 3 tag holding `frames` and `padding` zero bytes.
std::string tag3(const std::string& frames, std::size_t padding = 16) {
  return header(3, static_cast<std::uint32_t>(frames.size() + padding)) + frames + std::string(padding, '\0');
}

// Each load gets its own folder: test processes run side by side and must never share a file.
cMP3ID3v2 load(const std::string& bytes) {
  test::TempFolder folder("id3v2");
  cMP3ID3v2 tag;
  tag.MP3File(folder.write("tag.mp3", bytes));
  return tag;
}

TEST(cMP3ID3v2Search, MarkerBeforeTagMeansNoTagButTagWinsInTheSameBlock) {
  const std::string title = frame3("TIT2", std::string("\0Help", 5));
  cMP3ID3v2 none = load(std::string("\xFF\xFB\x90\x00", 4) + tag3(title));
  EXPECT_TRUE(none.HasID3v2Tag());  // same block: "ID3" is looked for first
  EXPECT_EQ(none.Title(), "Help");

  cMP3ID3v2 behind = load(std::string("\xFF\xFB", 2) + std::string(5000, 'x') + tag3(title));
  EXPECT_FALSE(behind.HasID3v2Tag());
  EXPECT_EQ(behind.Title(), "");
  EXPECT_EQ(behind.Genre(), 255);
}

TEST(cMP3ID3v2Search, FindsTagAcrossTheBlockBoundary) {
  const std::string title = frame3("TIT2", std::string("\0Edge", 5));
  for (std::size_t junk : {4093u, 4094u, 4095u, 4096u}) {
    cMP3ID3v2 tag = load(std::string(junk, 'x') + tag3(title) + std::string(3000, 'y'));
    EXPECT_EQ(tag.Title(), "Edge") << junk;
  }
}

TEST(cMP3ID3v2Parse, VersionsOutsideTwoToFourHaveNoFrames) {
  const std::string frames = frame3("TIT2", std::string("\0Help", 5));
  cMP3ID3v2 v5 = load(std::string("ID3\x05", 4) + std::string(2, '\0') + synchsafe(20) + frames);
  EXPECT_TRUE(v5.HasID3v2Tag());
  EXPECT_EQ(v5.ID3v2TagVersion(), 5);
  EXPECT_EQ(v5.FrameCount(), 0);
  EXPECT_EQ(v5.Title(), "");
}

TEST(cMP3ID3v2Parse, Version4SizesAreSynchsafe) {
  const std::string content = "\0" + std::string(200, 'a');
  // 201 = 0x01 0x49 synchsafe; read as plain 32 bits it would be 329.
  std::string frame = "TIT2" + synchsafe(201) + std::string(2, '\0') + content;
  cMP3ID3v2 tag = load(header(4, static_cast<std::uint32_t>(frame.size() + 10)) + frame + std::string(10, '\0'));
  EXPECT_EQ(tag.Title(), std::string(200, 'a'));
}

TEST(cMP3ID3v2Parse, TconForms) {
  auto genre_of = [](const std::string& text) {
    return load(tag3(frame3("TCON", std::string(1, '\0') + text)));
  };
  cMP3ID3v2 number = genre_of("(17)");
  EXPECT_EQ(number.Genre(), 17);
  EXPECT_EQ(number.OtherGenreName(), "Rock");
  cMP3ID3v2 refined = genre_of("(17)Rock");
  EXPECT_EQ(refined.Genre(), 17);
  EXPECT_EQ(refined.OtherGenreName(), "Rock");
  cMP3ID3v2 one_char = genre_of("(9)X");  // a one-character refinement is kept, not replaced
  EXPECT_EQ(one_char.Genre(), 9);
  EXPECT_EQ(one_char.OtherGenreName(), "X");
  EXPECT_EQ(genre_of("(0017)").Genre(), 17) << "leading zeros carry no value";
  EXPECT_EQ(genre_of("(0000)").Genre(), 0);
  cMP3ID3v2 name = genre_of("Rock");
  EXPECT_EQ(name.Genre(), 255);
  EXPECT_EQ(name.OtherGenreName(), "Rock");
  for (const char* bad : {"(256)", "(300)", "()", "(x1)", ")17(", "(-1)"}) {
    cMP3ID3v2 tag = genre_of(bad);
    EXPECT_EQ(tag.Genre(), 255) << bad;
    EXPECT_EQ(tag.OtherGenreName(), bad);
  }
  // A failing second TCON keeps the number of the first.
  cMP3ID3v2 two = load(tag3(frame3("TCON", std::string("\0(4)", 4)) + frame3("TCON", std::string("\0(300)", 6))));
  EXPECT_EQ(two.Genre(), 4);
  EXPECT_EQ(two.OtherGenreName(), "(300)");
}

TEST(cMP3ID3v2Parse, BinaryFrameDescriptions) {
  const std::string picture = std::string("\0image/jpeg\0\x03\0", 14) + std::string(2034, 'p');
  const std::string geob = std::string("\0mime\0\0\0", 8) + "data-after";
  cMP3ID3v2 tag = load(tag3(frame3("APIC", picture) + frame3("MCDI", std::string(10, 'c')) + frame3("GEOB", geob)));
  EXPECT_EQ(tag.Picture(), "Contains Picture :002 047");  // the leading NUL is stripped
  EXPECT_EQ(tag.MCDI(), "");
  EXPECT_EQ(tag.GEOB(), "Contains GEOB : 000 017mime");
  cMP3ID3v2 no_nul_run = load(tag3(frame3("GEOB", std::string("\0text/plain\0name", 16))));
  EXPECT_EQ(no_nul_run.GEOB(), std::string("Contains GEOB : 000 015text/plain\0name", 38));
}

TEST(cMP3ID3v2Hostile, SizesBeyondTagOrFileEndTheFramesAndKeepWhatCameBefore) {
  const std::string good = frame3("TIT2", std::string("\0Kept", 5));
  // Frame size beyond the tag, though within the file.
  const std::string too_long = "TPE1" + be32(500) + std::string(2, '\0');
  cMP3ID3v2 beyond_tag = load(tag3(good + too_long) + std::string(1000, 'a'));
  EXPECT_EQ(beyond_tag.Title(), "Kept");
  EXPECT_EQ(beyond_tag.FrameCount(), 1);
  // Tag size claims 256 MB, frame size claims 2 GB - 1: the file holds a few bytes.
  std::string huge = std::string("ID3\x03\0\0", 6) + std::string("\x7F\x7F\x7F\x7F", 4) + good + "TPE1" +
                     be32(0x7FFFFFFF) + std::string(2, '\0') + "short";
  cMP3ID3v2 claimed = load(huge);
  EXPECT_EQ(claimed.ID3v2TagLenOnLoad(), 0x0FFFFFFF);
  EXPECT_EQ(claimed.Title(), "Kept");
  EXPECT_EQ(claimed.Artist(), "");
  EXPECT_EQ(claimed.FrameCount(), 1);
  // A last frame that ends exactly where the tag ends, no padding behind it: before other bytes
  // and at the end of the file.
  for (const std::string& after : {std::string(100, 'a'), std::string()})
    EXPECT_EQ(load(tag3(good, 0) + after).Title(), "Kept") << after.size() << " bytes after the tag";
  // Negative 32-bit size.
  cMP3ID3v2 negative = load(tag3(good + "TPE1" + be32(0xFFFFFFF0u) + std::string(2, '\0') + "x"));
  EXPECT_EQ(negative.Title(), "Kept");
  EXPECT_EQ(negative.FrameCount(), 1);
}

TEST(cMP3ID3v2Hostile, TruncatedAndDegenerateFilesLoadQuietly) {
  const std::string good = frame3("TIT2", std::string("\0Kept", 5));
  const std::string full = tag3(good + frame3("TPE1", std::string("\0Artist", 7)));
  // Cut inside every part of the tag: header, frame header, frame data.
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    cMP3ID3v2 tag = load(full.substr(0, cut));
    EXPECT_LE(tag.FrameCount(), 2) << cut;
    if (cut >= 10 + good.size()) {
      EXPECT_EQ(tag.Title(), "Kept") << cut;
    }
  }
  cMP3ID3v2 empty = load("");
  EXPECT_FALSE(empty.HasID3v2Tag());
  cMP3ID3v2 at_end = load(std::string(100, 'x') + "ID3");
  EXPECT_EQ(at_end.FrameCount(), 0);
  cMP3ID3v2 nearly_end = load(std::string(100, 'x') + "ID3\x03");
  EXPECT_EQ(nearly_end.ID3v2TagVersion(), 3);
  EXPECT_EQ(nearly_end.FrameCount(), 0);
  // An all-NUL id is padding: frames behind it are not read.
  cMP3ID3v2 padded = load(tag3(good + std::string(10, '\0') + frame3("TPE1", std::string("\0Hidden", 7))));
  EXPECT_EQ(padded.Artist(), "");
  EXPECT_EQ(padded.FrameCount(), 1);
}

TEST(cMP3ID3v2Hostile, AMegabyteOfDistinctFrameIdsLoadsInLinearTime) {
  // 100,000 one-byte frames with the distinct ids "AAAA", "AAAB", ..., then the first id again.
  std::string frames;
  std::vector<std::string> ids;
  for (int i = 0; i < 100000; ++i)
    ids.push_back({char('A' + i / 17576 % 26), char('A' + i / 676 % 26), char('A' + i / 26 % 26), char('A' + i % 26)});
  for (const std::string& id : ids) frames += frame3(id, "x");
  frames += frame3(ids.front(), "y");
  const auto started = std::chrono::steady_clock::now();
  cMP3ID3v2 tag = load(tag3(frames));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 30.0) << "a scan per frame takes many minutes here";
  EXPECT_EQ(tag.FrameCount(), 100000);
  EXPECT_EQ(tag.TagsInFrame(ids.front()), 2);
  EXPECT_EQ(tag.TagsInFrame(tag.FrameCount()), 2) << "the last-changed count is at the end";
  EXPECT_EQ(tag.TagText(ids.front(), 2), "y");
}

TEST(cMP3ID3v2Hostile, CutFieldsReadAloneEqualTheLoadedFieldsCut) {
  constexpr std::size_t kCut = 1024;
  auto repeat = [](const std::string& unit, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += unit;
    return out;
  };
  const std::string artist = frame3("TPE1", std::string("\0Harbour Lights\0", 16));
  struct Row {
    const char* what;
    std::string bytes;
  };
  const Row rows[] = {
      {"Latin-1", tag3(artist + frame3("TIT2", std::string("\0Evening Tide", 13)))},
      {"UTF-16 with BOM across the cut",
       tag3(frame3("TPE1", "\x01\xFF\xFE" + repeat(std::string("A\0", 2), 1500) + std::string(2, '\0')))},
      // Longer than what is read, and the cut ends in a NUL that more text follows.
      {"UTF-16BE beyond the bytes read", tag3(frame3("TIT2", "\x02" + repeat(std::string("\0A", 2), 2100)))},
      {"UTF-8 across the cut", tag3(frame3("TIT2", "\x03" + repeat("\xC3\xA9", 700)))},
      {"NULs in front and behind", tag3(frame3("TPE1", std::string(3000, '\0') + "Ann" + std::string(9, '\0')))},
      {"the last of two frames", tag3(artist + frame3("TPE1", std::string("\0Second", 7)))},
      {"version 2 ids", std::string("ID3\x02\0\0", 6) + synchsafe(40) + "TP1" + std::string("\0\0\x04\0Bob", 7) +
                            "TT2" + std::string("\0\0\x04\0Sky", 7) + std::string(26, '\0')},
      {"version 4 sizes", header(4, 221) + "TIT2" + synchsafe(201) + std::string(2, '\0') + "\0" +
                              std::string(200, 'a') + std::string(10, '\0')},
      {"a size beyond the file", std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) + artist + "TIT2" +
                                     be32(0x7FFFFFFF) + std::string(2, '\0') + "short"},
      {"no tag", std::string(100, 'x')},
  };
  for (const Row& row : rows) {
    test::TempFolder folder("id3v2");
    const std::string path = folder.write("tag.mp3", row.bytes);
    cMP3ID3v2 tag;
    tag.MP3File(path);
    std::vector<std::string> loaded{tag.Artist(), tag.Title()};
    for (std::string& text : loaded)
      if (text.size() > kCut) text.resize(kCut);
    EXPECT_EQ(read_cut_fields(path, {"TPE1", "TIT2"}, kCut), loaded) << row.what;
  }
}

TEST(cMP3ID3v2Hostile, TempDirEndsInASeparator) {
  const std::string dir = cMP3ID3v2().GetTempDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(dir.back() == '/' || dir.back() == '\\') << dir;
}

TEST(cMP3ID3v2Hostile, ZeroSizeFramesAndEmptyTextsAreStored) {
  cMP3ID3v2 tag = load(tag3(frame3("TIT2", "") + frame3("TIT2", std::string(3, '\0')) + frame3("TPE1", std::string("\0B", 2))));
  EXPECT_EQ(tag.TagsInFrame("TIT2"), 2);
  EXPECT_EQ(tag.TagText("TIT2", 2), "");
  EXPECT_EQ(tag.Artist(), "B");
}

TEST(GenreName, ComponentSpellings) {
  cMP3ID3v2 tag;
  EXPECT_EQ(tag.GenreName(0), "Blues");
  EXPECT_EQ(tag.GenreName(17), "Rock");
  EXPECT_EQ(tag.GenreName(40), "Alt.Rock");
  EXPECT_EQ(tag.GenreName(78), "Rock 'n'Roll");
  EXPECT_EQ(tag.GenreName(109), "Pr0n Groove");
  EXPECT_EQ(tag.GenreName(122), "Drum Solo");
  EXPECT_EQ(tag.GenreName(124), "Euro - House");
  EXPECT_EQ(tag.GenreName(147), "Synth Pop");
  EXPECT_EQ(tag.GenreName(123), "");
  EXPECT_EQ(tag.GenreName(148), "");
  EXPECT_EQ(tag.GenreName(255), "");
}

}  // namespace
}  // namespace qn
