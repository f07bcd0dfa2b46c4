#include "naming/nfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/step_error.h"
#include "support/fixtures.h"

namespace qn {
namespace {

std::string read_all(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileTypeLabel, NfoTestIgnoresCaseAndFlacExtensionWins) {
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T.mp3", ""), " mp3 file");
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T.nfo", ""), " Placeholder file");
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T.NFO", ""), " Placeholder file");
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T.nfo", ".mp3"), " Placeholder file");
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T.nfo", ".flac"), " flac file");
  EXPECT_EQ(FileTypeLabel("u1964_001 - A - T", ".FLAC"), " flac file");
  EXPECT_EQ(FileTypeLabel("", ""), " mp3 file");
}

TEST(SheetMusicNote, ArtistOnlyForSheetMusicLinesWithoutNfo) {
  EXPECT_EQ(SheetMusicNote("u1940_003 - Artist - Title.mp3Z1AZ2B"), "  (Artist)");
  EXPECT_EQ(SheetMusicNote("uSM1960_003 - Artist - Title.mp3"), "  (Artist)");
  EXPECT_EQ(SheetMusicNote("u1940_003 - Artist - Title - Live.mp3"), "  ()");
  EXPECT_EQ(SheetMusicNote("u1940_003 - Artist - Title.nfo"), "");
  EXPECT_EQ(SheetMusicNote("u1964_003 - Artist - Title.mp3"), "");
  EXPECT_THROW(SheetMusicNote("u1940 - Artist - Title.mp3"), StepError);
}

TEST(MiddlePart, OnlyExactlyThreeParts) {
  EXPECT_EQ(MiddlePart("a - b - c"), "b");
  EXPECT_EQ(MiddlePart("a - b"), "");
  EXPECT_EQ(MiddlePart("a -  - c"), "");  // "a", "", "c"
  EXPECT_EQ(MiddlePart("a - b - c - d"), "");
}

TEST(Placeholder, CreatesFileHoldingItsNameAndOneLineBreak) {
  test::TempFolder folder("nfo");
  const std::string name = "u1964_001 - Artist - Title.nfo";
  create_placeholder(folder.text(), name);
  EXPECT_EQ(read_all(folder.path() / name), name + "\r\n");
  // An existing file is left as it is.
  folder.make_file("u1964_002.nfo", "old content that is longer");
  EXPECT_FALSE(create_placeholder(folder.text(), "u1964_002.nfo"));
  EXPECT_EQ(read_all(folder.path() / "u1964_002.nfo"), "old content that is longer");
  // A sub-folder entry stays inside.
  folder.make_folder("Albums");
  create_placeholder(folder.text(), "Albums/u1970_001.nfo");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "Albums" / "u1970_001.nfo"));
}

TEST(Placeholder, NamesLeavingTheFolderAreRefusedAndNothingIsCreated) {
  test::TempFolder outer("nfo-outer");
  outer.make_folder("verified");
  const std::string folder = (outer.path() / "verified").string() + kSep;
  const std::string absolute = (outer.path() / "abs.nfo").string();
  for (const std::string& name :
       {std::string("../escape.nfo"), std::string("..\\escape.nfo"), std::string("sub/../../escape.nfo"),
        std::string(".."), absolute, std::string("\\escape.nfo"), std::string("C:escape.nfo"),
        std::string("C:\\escape.nfo"), std::string(""), std::string("a\0b.nfo", 7)}) {
    EXPECT_FALSE(placeholder_name_is_safe(name)) << name;
    try {
      create_placeholder(folder, name);
      ADD_FAILURE() << "created " << name;
    } catch (const StepError& e) {
      EXPECT_EQ(e.number(), kErrRefused) << name;
      EXPECT_NE(std::string(e.what()).find("outside the verified folder"), std::string::npos);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(outer.path() / "escape.nfo"));
  EXPECT_FALSE(std::filesystem::exists(outer.path() / "abs.nfo"));
  EXPECT_TRUE(placeholder_name_is_safe("u1964_001 - A..B - T.nfo"));
  EXPECT_TRUE(placeholder_name_is_safe("..u1964.nfo"));
}

TEST(Placeholder, UnwritableTargetIsAnErrorNamingThePath) {
  test::TempFolder folder("nfo-fail");
  const std::string missing = folder.text() + "no-such-folder" + kSep;
  try {
    create_placeholder(missing, "u1964_001.nfo");
    FAIL() << "no error";
  } catch (const StepError& e) {
    EXPECT_NE(e.number(), kErrRefused);
    EXPECT_NE(std::string(e.what()).find("no-such-folder"), std::string::npos);
  }
}

}  // namespace
}  // namespace qn
