#include <gtest/gtest.h>

#include "audio/id3_regions.h"
#include "audio_fixture.h"
#include "base/step_error.h"
#include "platform/byte_file.h"

namespace qn {
namespace {

using namespace test;

TEST(ByteFile, ReadsZeroPastTheEndAndRefusesNegativeOffsets) {
  TempFolder dir;
  platform::ByteFile f(dir.write("five.bin", Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(f.length(), 5);
  EXPECT_EQ(f.read_at(3, 4), (Bytes{4, 5, 0, 0}));
  EXPECT_EQ(f.read_at(10, 2), (Bytes{0, 0}));
  EXPECT_EQ(f.read_at(0, 0), Bytes{});
  EXPECT_EQ(f.read_at(1, 2), (Bytes{2, 3}));
  try {
    f.read_at(-1, 4);
    ADD_FAILURE() << "negative offset read";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find("five.bin"), std::string::npos);
  }
}

TEST(ByteFile, MissingFileNamesThePath) {
  TempFolder dir;
  std::string path = dir.write("x", Bytes{}) + "-absent.mp3";
  try {
    platform::ByteFile f(path);
    ADD_FAILURE() << "opened a missing file";
  } catch (const StepError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    EXPECT_NE(e.number(), 0);
  }
}

TEST(ReadFileHead, ReturnsTheFirstBytesThatExist) {
  TempFolder dir;
  Bytes b = filler(200000);
  platform::ByteFile f(dir.write("head.bin", b));
  EXPECT_EQ(ReadFileHead(f, 0).size(), 0u);
  EXPECT_EQ(ReadFileHead(f, 4096), Bytes(b.begin(), b.begin() + 4096));
  EXPECT_EQ(ReadFileHead(f, 5000), Bytes(b.begin(), b.begin() + 5000));
  EXPECT_EQ(ReadFileHead(f, 70000), Bytes(b.begin(), b.begin() + 70000));
  EXPECT_EQ(ReadFileHead(f, 1ull << 40), b);
  EXPECT_EQ(file_head_sum(f, 5000), sum(b, 0, 5000));
  EXPECT_EQ(file_head_sum(f, 1ull << 40), sum(b, 0, b.size()));
}

TEST(Id3Checks, Id3v1TagNeedsUpperCaseTagInTheLast128Bytes) {
  TempFolder dir;
  Bytes b = filler(1000);
  b[872] = 'T'; b[873] = 'A'; b[874] = 'G';
  platform::ByteFile tagged(dir.write("tagged.mp3", b));
  EXPECT_EQ(ReadID3v1Tag(tagged), Bytes(b.begin() + 872, b.end()));
  EXPECT_EQ(check_id3v1(tagged, hex(sum(b, 872, 128))), " ID3v1 OK");
  EXPECT_EQ(check_id3v1(tagged, "0"), " ID3v1 Fails");

  b[872] = 't'; b[873] = 'a'; b[874] = 'g';
  platform::ByteFile lower(dir.write("lower.mp3", b));
  EXPECT_TRUE(ReadID3v1Tag(lower).empty());
  EXPECT_EQ(check_id3v1(lower, "0"), " ID3v1 OK");

  platform::ByteFile tiny(dir.write("tiny.mp3", Bytes{'T', 'A', 'G'}));
  EXPECT_TRUE(ReadID3v1Tag(tiny).empty());
}

TEST(Id3Checks, Id3v2RegionSumComparesAsText) {
  TempFolder dir;
  Bytes b = filler(3000);
  platform::ByteFile f(dir.write("a.mp3", b));
  EXPECT_EQ(check_id3v2(f, 0, 3000, "0"), " ID3v2 OK");
  EXPECT_EQ(check_id3v2(f, 500, 3000, hex(sum(b, 0, 500))), " ID3v2 OK");
  EXPECT_EQ(check_id3v2(f, 500, 3000, "0" + hex(sum(b, 0, 500))), " ID3v2 Fails");
  EXPECT_EQ(check_id3v2(f, 499, 3000, hex(sum(b, 0, 500))), " ID3v2 Fails");
}

}  // namespace
}  // namespace qn
