// Files encoded by lame (tests/data/audio/make_fixtures.sh), against fingerprints computed by the
// script's own reading of the bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "audio/audio_search.h"
#include "audio/check_audio_file.h"
#include "platform/byte_file.h"

namespace qn {
namespace {

const std::string kDir = std::string(QN_TEST_DATA_DIR) + "/audio/";

struct Fingerprints {
  std::string five, six;
};

Fingerprints expected_for(const std::string& name) {
  std::ifstream in(kDir + "fingerprints.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Fingerprints fp;
    std::string file;
    fields >> file >> fp.five >> fp.six;
    if (file == name) return fp;
  }
  ADD_FAILURE() << "no fingerprint for " << name;
  return {};
}

TEST(RealMp3, LameFilesMatchTheirFingerprints) {
  for (const char* name : {"tone_plain.mp3", "tone_tagged.mp3"}) {
    SCOPED_TRACE(name);
    Fingerprints fp = expected_for(name);
    EXPECT_EQ(CheckAudioFile(kDir + name, fp.five, {true, true}), "0 ID3v1 OK ID3v2 OK");
    EXPECT_EQ(CheckAudioFile(kDir + name, fp.six, {true, true}), "0 ID3v1 OK ID3v2 OK");
    EXPECT_EQ(CheckAudioFile(kDir + name, fp.six, {false, false}), "0");
  }
}

TEST(RealMp3, TaggedFileStartsRightAfterItsTag) {
  platform::ByteFile f(kDir + "tone_tagged.mp3");
  // 10 header bytes and a tag whose size field reads 0x361 = 481.
  EXPECT_EQ(AudioSearchStart(f), 481);
  EXPECT_EQ(FindStartOfAudio(f), 491);
  platform::ByteFile plain(kDir + "tone_plain.mp3");
  EXPECT_EQ(FindStartOfAudio(plain), 1);
}

}  // namespace
}  // namespace qn
