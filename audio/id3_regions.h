#pragma once
// The two tag-region checks of an MP3 file: the 128-byte ID3v1 tag at the end of the file and
// the region in front of the audio (the ID3v2 tag with its padding). Raw bytes and sums only.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qn {

namespace platform {
class ByteFile;
}  // namespace platform

// The last 128 bytes when they begin with "TAG" (exact case), otherwise an empty block. A file
// shorter than 128 bytes has no tag.
std::vector<std::uint8_t> ReadID3v1Tag(platform::ByteFile& file);

// The first n bytes of the file, or all of them when the file is shorter (missing bytes would
// add nothing to a sum).
std::vector<std::uint8_t> ReadFileHead(platform::ByteFile& file, std::uint64_t n);

// Sum of the byte values of the first n bytes, read in large blocks without holding the region;
// holes of a sparse file are passed over unread.
std::uint64_t file_head_sum(platform::ByteFile& file, std::uint64_t n);

// " ID3v1 OK" when the hexadecimal sum of the ID3v1 tag ("0" without one) equals expected_sum
// exactly, otherwise " ID3v1 Fails".
std::string check_id3v1(platform::ByteFile& file, std::string_view expected_sum);

// How far the region in front of the audio reaches: to the measured start of audio, or to the end
// of the ID3v2 tag that the header at offset 0 describes (as AudioSearchStart reads its size) when
// that lies further; never past the end of the file.
std::uint64_t id3v2_region_reach(platform::ByteFile& file, std::int64_t start_of_audio);

// " ID3v2 OK" when the hexadecimal sum of the first region_length bytes equals expected_sum
// exactly, otherwise " ID3v2 Fails". A region longer than `reach` (id3v2_region_reach) fails
// without being read: a checksum line cannot make a check read a whole file.
std::string check_id3v2(platform::ByteFile& file, std::uint64_t region_length, std::uint64_t reach,
                        std::string_view expected_sum);

}  // namespace qn
