// The FLAC library linked into qn_audio, as built for each platform (cross-built from source for
// Windows): a sound demo track decodes with its MD5 sum matching; a damaged one and a flipped byte
// in the audio are caught.
#include <FLAC/stream_decoder.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct Input {
  std::string bytes;
  std::size_t at = 0;
  bool error = false;
};

FLAC__StreamDecoderReadStatus read_input(const FLAC__StreamDecoder*, FLAC__byte buffer[], std::size_t* size,
                                         void* data) {
  auto& input = *static_cast<Input*>(data);
  const std::size_t n = std::min(*size, input.bytes.size() - input.at);
  std::memcpy(buffer, input.bytes.data() + input.at, n);
  input.at += n;
  *size = n;
  return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus take_samples(const FLAC__StreamDecoder*, const FLAC__Frame*, const FLAC__int32* const[],
                                            void*) {
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void note_error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
  static_cast<Input*>(data)->error = true;
}

// True when the whole stream decodes without an error and its samples match the MD5 sum it carries.
bool decodes_clean(std::string bytes) {
  Input input{std::move(bytes)};
  FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
  if (decoder == nullptr) return false;
  FLAC__stream_decoder_set_md5_checking(decoder, true);
  bool clean = FLAC__stream_decoder_init_stream(decoder, read_input, nullptr, nullptr, nullptr, nullptr, take_samples,
                                                nullptr, note_error, &input) == FLAC__STREAM_DECODER_INIT_STATUS_OK;
  clean = clean && FLAC__stream_decoder_process_until_end_of_stream(decoder);
  clean = clean && FLAC__stream_decoder_get_state(decoder) == FLAC__STREAM_DECODER_END_OF_STREAM;
  clean = FLAC__stream_decoder_finish(decoder) && clean;
  FLAC__stream_decoder_delete(decoder);
  return clean && !input.error;
}

std::string read_sample(const char* name) {
  std::ifstream in(std::filesystem::path(QN_SAMPLES_DIR) / "Quarnell 1964 FLAC" / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FlacLibrary, TheDemoTracksDecodeAsTheirFolderSaysAndAFlippedByteIsCaught) {
  // The demo folder's second track was damaged on purpose, inside its middle block.
  const std::string clean = read_sample("u1964_001 - Harbour Lights - Evening Tide [mono].flac");
  const std::string damaged = read_sample("u1964_002 - The Marlow Set - Paper Kites.flac");
  ASSERT_GT(clean.size(), 200u);
  ASSERT_GT(damaged.size(), 200u);
  EXPECT_TRUE(decodes_clean(clean));
  EXPECT_FALSE(decodes_clean(damaged));
  std::string flipped = clean;
  flipped[flipped.size() - 100] ^= 0x10;  // inside the last frame
  EXPECT_FALSE(decodes_clean(flipped));
}

}  // namespace
