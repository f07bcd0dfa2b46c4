#include "audio/id3_regions.h"

#include <algorithm>

#include "audio/audio_search.h"
#include "audio/block_sums.h"
#include "base/text.h"
#include "platform/byte_file.h"

namespace qn {

namespace {

constexpr std::size_t kHeadBlock = 64 * 1024;

// The part of the first n bytes that the file really holds.
std::size_t bytes_present(platform::ByteFile& file, std::uint64_t n) {
  std::uint64_t length = static_cast<std::uint64_t>(file.length());
  return static_cast<std::size_t>(std::min(n, length));
}

}  // namespace

std::vector<std::uint8_t> ReadID3v1Tag(platform::ByteFile& file) {
  if (file.length() < 128) return {};
  std::vector<std::uint8_t> tag = file.read_at(file.length() - 128, 128);
  if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G') return {};
  return tag;
}

std::vector<std::uint8_t> ReadFileHead(platform::ByteFile& file, std::uint64_t n) {
  std::size_t size = bytes_present(file, n);
  std::vector<std::uint8_t> head(size);
  for (std::size_t done = 0; done < size;) {
    std::size_t piece = std::min(kHeadBlock, size - done);
    file.read_at(static_cast<std::int64_t>(done), head.data() + done, piece);
    done += piece;
  }
  return head;
}

std::uint64_t file_head_sum(platform::ByteFile& file, std::uint64_t n) {
  const std::int64_t size = static_cast<std::int64_t>(bytes_present(file, n));
  std::vector<std::uint8_t> block;  // only for bytes the check has not loaded
  std::uint64_t sum = 0;
  bool zeros = true;  // the last block read added nothing: a hole may follow
  for (std::int64_t done = 0; done < size;) {
    const std::uint8_t* at = nullptr;
    if (const std::size_t span = file.loaded_span(done, &at); span > 0) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(span), size - done));
      std::uint64_t piece_sum = 0;
      for (std::size_t i = 0; i < piece; ++i) piece_sum += at[i];
      sum += piece_sum;
      zeros = piece_sum == 0;
      done += static_cast<std::int64_t>(piece);
      continue;
    }
    if (block.empty()) block.resize(static_cast<std::size_t>(std::min<std::int64_t>(kHeadBlock, size)));
    if (zeros) {
      const std::int64_t data = file.next_data(done);
      if (data > done) {
        done = data;  // a hole adds nothing
        continue;
      }
    }
    const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(kHeadBlock, size - done));
    file.read_at(done, block.data(), piece);
    std::uint64_t piece_sum = 0;
    for (std::size_t i = 0; i < piece; ++i) piece_sum += block[i];
    sum += piece_sum;
    zeros = piece_sum == 0;
    done += static_cast<std::int64_t>(piece);
  }
  return sum;
}

std::uint64_t id3v2_region_reach(platform::ByteFile& file, std::int64_t start_of_audio) {
  // AudioSearchStart is the tag header's size field (1 without a tag); the header adds 10 bytes.
  const std::int64_t reach = std::max(start_of_audio, AudioSearchStart(file) + 10);
  return static_cast<std::uint64_t>(std::clamp<std::int64_t>(reach, 0, file.length()));
}

std::string check_id3v1(platform::ByteFile& file, std::string_view expected_sum) {
  std::uint8_t copy[128];
  const std::uint8_t* tag = nullptr;
  if (file.length() >= 128) {
    tag = file.loaded(file.length() - 128, sizeof copy);
    if (tag == nullptr) {
      file.read_at(file.length() - 128, copy, sizeof copy);
      tag = copy;
    }
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G') tag = nullptr;
  }
  return HexByteSum(tag, tag ? 128 : 0) == expected_sum ? " ID3v1 OK" : " ID3v1 Fails";
}

std::string check_id3v2(platform::ByteFile& file, std::uint64_t region_length, std::uint64_t reach,
                        std::string_view expected_sum) {
  // A region that runs past everything in front of the audio is not the file's: it is not summed.
  if (region_length > reach) return " ID3v2 Fails";
  return text::hex_text(file_head_sum(file, region_length)) == expected_sum ? " ID3v2 OK" : " ID3v2 Fails";
}

}  // namespace qn
