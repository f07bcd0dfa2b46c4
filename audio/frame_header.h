#pragma once
// MPEG audio frame headers: whether four bytes are an acceptable header (MPEG-1 or MPEG-2,
// Layer III) and how many bytes the frame takes. Fields are kept as bit texts ("0"/"1").
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qn {

// A fixed-width field of "0"/"1" characters; fixed storage so a header test never allocates.
template <std::size_t N>
struct BitField {
  std::array<char, N> bits{};
  std::string_view text() const { return {bits.data(), N}; }
  bool operator==(std::string_view s) const { return text() == s; }
};

// The fields of the header most recently split. Each search owns its own record, so checks of
// different files may run side by side.
struct FrameHeaderRecord {
  BitField<11> frame_sync;
  BitField<2> version;
  BitField<2> layer;
  BitField<4> bitrate_index;
  BitField<2> sampling_rate_index;
  BitField<1> padding;
  BitField<2> emphasis;
};

// The 32 bits of a header, most significant bit of the first byte first.
using HeaderBits = std::array<char, 32>;

// 8 characters "0"/"1", most significant bit first (251 gives "11111011").
std::string ByteToBits(std::uint8_t value);
// The bit texts of the four bytes joined in file order.
HeaderBits BytesToBits(const std::uint8_t* bytes);
// Stores the fields of the bit text in the record.
void SplitFrameHeader(const HeaderBits& bits, FrameHeaderRecord& record);

// The bitrate table: 15 text rows, built once and shared read-only by every check. Row 0 holds
// the column keys (version bits then layer bits), rows 1..14 the bitrate index and six bitrates.
const std::array<std::string, 15>& InitBitrateTable();

// Bitrate in kbit/s for the record's version, layer and bitrate index; none when the table has
// no such row or column.
std::optional<int> LookupBitrate(const FrameHeaderRecord& record);

// True for an MPEG-1/MPEG-2 Layer III header we accept. Fills the record once the 11 sync bits
// are seen set, even when a later test rejects the header.
bool IsValidFrameHeader(const std::uint8_t* bytes, FrameHeaderRecord& record);

// Bytes the frame of the record's header takes (144 x bitrate / rate + pad, both versions).
// Meant for the header that IsValidFrameHeader has just accepted.
int FrameLength(const FrameHeaderRecord& record);

}  // namespace qn
