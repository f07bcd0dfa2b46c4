#include "audio/frame_header.h"

#include <cmath>

#include "base/text.h"

namespace qn {

namespace {

// The table as text rows and, parsed once from them, the keys and numbers a lookup compares, so
// a lookup neither splits nor allocates.
struct BitrateTable {
  std::array<std::string, 15> rows;
  std::array<std::string, 7> column_keys;    // item 0 empty
  std::array<std::string, 15> row_indexes;   // item 0 of rows 1..14
  std::array<std::array<int, 7>, 15> rates{};
};

BitrateTable build_bitrate_table() {
  BitrateTable t;
  t.rows = {
      " 1111 1110 1101 1011 1010 1001",
      "0001 32 32 32 32 8 8",
      "0010 64 48 40 48 16 16",
      "0011 96 56 48 56 24 24",
      "0100 128 64 56 64 32 32",
      "0101 160 80 64 80 40 40",
      "0110 192 96 80 96 48 48",
      "0111 224 112 96 112 56 56",
      "1000 256 128 112 128 64 64",
      "1001 288 160 128 144 80 80",
      "1010 320 192 160 160 96 96",
      "1011 352 224 192 176 112 112",
      "1100 384 256 224 192 128 128",
      "1101 416 320 256 224 144 144",
      "1110 448 384 320 256 160 160",
  };
  std::vector<std::string> keys = text::split(t.rows[0], " ");
  for (std::size_t c = 1; c < 7 && c < keys.size(); ++c) t.column_keys[c] = keys[c];
  for (std::size_t r = 1; r < 15; ++r) {
    std::vector<std::string> items = text::split(t.rows[r], " ");
    t.row_indexes[r] = items[0];
    for (std::size_t c = 1; c < 7 && c < items.size(); ++c) t.rates[r][c] = std::stoi(items[c]);
  }
  return t;
}

const BitrateTable& bitrate_table() {
  static const BitrateTable table = build_bitrate_table();
  return table;
}

template <std::size_t N>
void take_field(const HeaderBits& bits, std::size_t first_char, BitField<N>& field) {
  for (std::size_t i = 0; i < N; ++i) field.bits[i] = bits[first_char - 1 + i];
}

}  // namespace

std::string ByteToBits(std::uint8_t value) {
  std::string out(8, '0');
  for (int i = 0; i < 8; ++i) {
    if (value & (0x80 >> i)) out[i] = '1';
  }
  return out;
}

HeaderBits BytesToBits(const std::uint8_t* bytes) {
  HeaderBits bits;
  for (int b = 0; b < 4; ++b) {
    for (int i = 0; i < 8; ++i) bits[b * 8 + i] = (bytes[b] & (0x80 >> i)) ? '1' : '0';
  }
  return bits;
}

void SplitFrameHeader(const HeaderBits& bits, FrameHeaderRecord& record) {
  take_field(bits, 1, record.frame_sync);
  take_field(bits, 12, record.version);
  take_field(bits, 14, record.layer);
  take_field(bits, 17, record.bitrate_index);
  take_field(bits, 21, record.sampling_rate_index);
  take_field(bits, 23, record.padding);
  take_field(bits, 31, record.emphasis);
}

const std::array<std::string, 15>& InitBitrateTable() { return bitrate_table().rows; }

std::optional<int> LookupBitrate(const FrameHeaderRecord& record) {
  const BitrateTable& t = bitrate_table();
  std::size_t row = 0;
  for (std::size_t r = 1; r < 15; ++r) {
    if (record.bitrate_index == t.row_indexes[r]) {
      row = r;
      break;
    }
  }
  char key[4] = {record.version.bits[0], record.version.bits[1], record.layer.bits[0],
                 record.layer.bits[1]};
  std::string_view key_text(key, 4);
  std::size_t column = 0;
  for (std::size_t c = 1; c < 7; ++c) {
    if (t.column_keys[c] == key_text) {
      column = c;
      break;
    }
  }
  if (row == 0 || column == 0) return std::nullopt;
  return t.rates[row][column];
}

bool IsValidFrameHeader(const std::uint8_t* bytes, FrameHeaderRecord& record) {
  // Tests 1 and 2 on the bytes themselves: almost every offset of a file fails here.
  if (bytes[0] != 0xFF) return false;
  if ((bytes[1] & 0xE0) != 0xE0) return false;
  SplitFrameHeader(BytesToBits(bytes), record);
  if (!(record.version == "11" || record.version == "10")) return false;
  if (!(record.layer == "01")) return false;
  if (record.bitrate_index == "0000" || record.bitrate_index == "1111") return false;
  if (record.sampling_rate_index == "11") return false;
  if (record.emphasis == "00") return true;
  return record.emphasis == "01" && bytes[1] == 251;
}

int FrameLength(const FrameHeaderRecord& record) {
  double rate = 44100;
  if (record.sampling_rate_index == "10") rate = 32000;
  else if (record.sampling_rate_index == "01") rate = 48000;
  bool mpeg2 = record.version == "10";
  if (mpeg2) rate /= 2;
  int pad = (mpeg2 || !(record.padding == "0")) ? 1 : 0;
  int bitrate = LookupBitrate(record).value_or(0);
  return static_cast<int>(std::floor(144.0 * bitrate * 1000.0 / rate + pad));
}

}  // namespace qn
