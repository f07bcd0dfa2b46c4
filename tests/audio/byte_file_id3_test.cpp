#include <gtest/gtest.h>

#include "audio/byte_file.h"
#include "audio/id3_regions.h"
#include "audio_fixture.h"
#include "engine/step_error.h"

namespace qn {
namespace {

using namespace audio_test;

TEST(ByteFile, ReadsZeroPastTheEndAndRefusesNegativeOffsets) {
  TempFolder dir;
  ByteFile f(dir.Write("five.bin", Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(f.length(), 5);
  EXPECT_EQ(f.ReadAt(3, 4), (Bytes{4, 5, 0, 0}));
  EXPECT_EQ(f.ReadAt(10, 2), (Bytes{0, 0}));
  EXPECT_EQ(f.ReadAt(0, 0), Bytes{});
  EXPECT_EQ(f.ReadAt(1, 2), (Bytes{2, 3}));
  try {
    f.ReadAt(-1, 4);
    ADD_FAILURE() << "negative offset read";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find("five.bin"), std::string::npos);
  }
}

TEST(ByteFile, MissingFileNamesThePath) {
  TempFolder dir;
  std::string path = dir.Write("x", {}) + "-absent.mp3";
  try {
    ByteFile f(path);
    ADD_FAILURE() << "opened a missing file";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    EXPECT_NE(e.number(), 0);
  }
}

TEST(ReadFileHead, ReturnsTheFirstBytesThatExist) {
  TempFolder dir;
  Bytes b = Filler(200000);
  ByteFile f(dir.Write("head.bin", b));
  EXPECT_EQ(ReadFileHead(f, 0).size(), 0u);
  EXPECT_EQ(ReadFileHead(f, 4096), Bytes(b.begin(), b.begin() + 4096));
  EXPECT_EQ(ReadFileHead(f, 5000), Bytes(b.begin(), b.begin() + 5000));
  EXPECT_EQ(ReadFileHead(f, 70000), Bytes(b.begin(), b.begin() + 70000));
  EXPECT_EQ(ReadFileHead(f, 1ull << 40), b);
  EXPECT_EQ(FileHeadSum(f, 5000), Sum(b, 0, 5000));
  EXPECT_EQ(FileHeadSum(f, 1ull << 40), Sum(b, 0, b.size()));
}

TEST(Id3Checks, Id3v1TagNeedsUpperCaseTagInTheLast128Bytes) {
  TempFolder dir;
  Bytes b = Filler(1000);
  b[872] = 'T'; b[873] = 'A'; b[874] = 'G';
  ByteFile tagged(dir.Write("tagged.mp3", b));
  EXPECT_EQ(ReadID3v1Tag(tagged), Bytes(b.begin() + 872, b.end()));
  EXPECT_EQ(CheckID3v1(tagged, Hex(Sum(b, 872, 128))), " ID3v1 OK");
  EXPECT_EQ(CheckID3v1(tagged, "0"), " ID3v1 Fails");

  b[872] = 't'; b[873] = 'a'; b[874] = 'g';
  ByteFile lower(dir.Write("lower.mp3", b));
  EXPECT_TRUE(ReadID3v1Tag(lower).empty());
  EXPECT_EQ(CheckID3v1(lower, "0"), " ID3v1 OK");

  ByteFile tiny(dir.Write("tiny.mp3", Bytes{'T', 'A', 'G'}));
  EXPECT_TRUE(ReadID3v1Tag(tiny).empty());
}

TEST(Id3Checks, Id3v2RegionSumComparesAsText) {
  TempFolder dir;
  Bytes b = Filler(3000);
  ByteFile f(dir.Write("a.mp3", b));
  EXPECT_EQ(CheckID3v2(f, 0, "0"), " ID3v2 OK");
  EXPECT_EQ(CheckID3v2(f, 500, Hex(Sum(b, 0, 500))), " ID3v2 OK");
  EXPECT_EQ(CheckID3v2(f, 500, "0" + Hex(Sum(b, 0, 500))), " ID3v2 Fails");
  EXPECT_EQ(CheckID3v2(f, 499, Hex(Sum(b, 0, 500))), " ID3v2 Fails");
}

}  // namespace
}  // namespace qn
