// The deep check of an MP3 file: a walk over its whole frame chain, the CRC of each protected
// Layer III frame, and the encoder's Info frame (its own CRC, the music length, the frame count and
// the CRC of the music). One pass over the file in large blocks, constant memory.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "audio/content_check.h"

namespace qn {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// Where the first frame may start after the tags in front, and how far a broken chain is searched
// for frames that resume: both bounded, so holes and junk fail at once.
constexpr std::int64_t kFirstFrameSearch = 64 * 1024;
constexpr std::int64_t kResumeSearch = std::int64_t{1} << 20;
constexpr int kMaxLeadingTags = 8;
// The most the walk asks for at once: a whole frame (at most 2,881 bytes, MPEG-2.5 Layer II at
// 160 kbit/s and 8 kHz, padded).
constexpr std::size_t kMaxSpan = 4096;

// ---- CRCs ----

// The CRC of protected frames: polynomial 0x8005, most significant bit first.
struct FrameCrcTable {
  std::array<std::uint16_t, 256> t{};
  FrameCrcTable() {
    for (unsigned b = 0; b < 256; ++b) {
      std::uint16_t crc = static_cast<std::uint16_t>(b << 8);
      for (int i = 0; i < 8; ++i) crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
      t[b] = crc;
    }
  }
};

std::uint16_t frame_crc(std::uint16_t crc, const std::uint8_t* p, std::size_t n) {
  static const FrameCrcTable table;
  for (std::size_t i = 0; i < n; ++i)
    crc = static_cast<std::uint16_t>((crc << 8) ^ table.t[((crc >> 8) ^ p[i]) & 0xFF]);
  return crc;
}

// The CRC of the encoder's Info frame and of the music: polynomial 0x8005 reflected (0xA001),
// least significant bit first. Sliced by 16 so that the music CRC keeps up with memory.
constexpr std::size_t kSlices = 16;

struct MusicCrcTables {
  std::array<std::array<std::uint16_t, 256>, kSlices> t{};
  MusicCrcTables() {
    for (unsigned b = 0; b < 256; ++b) {
      std::uint16_t crc = static_cast<std::uint16_t>(b);
      for (int i = 0; i < 8; ++i) crc = static_cast<std::uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
      t[0][b] = crc;
    }
    for (std::size_t k = 1; k < kSlices; ++k)
      for (unsigned b = 0; b < 256; ++b)
        t[k][b] = static_cast<std::uint16_t>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
  }
};

std::uint16_t music_crc(std::uint16_t crc, const std::uint8_t* p, std::size_t n) {
  static const MusicCrcTables tables;
  const auto& t = tables.t;
  while (n >= kSlices) {
    // The CRC meets the first two bytes; each byte then still passes through as many table
    // steps as bytes follow it in the slice.
    const unsigned x = crc ^ (p[0] | (p[1] << 8));
    crc = static_cast<std::uint16_t>(t[15][x & 0xFF] ^ t[14][x >> 8] ^ t[13][p[2]] ^ t[12][p[3]] ^ t[11][p[4]] ^
                                     t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^
                                     t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]]);
    p += kSlices;
    n -= kSlices;
  }
  for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ p[i]) & 0xFF]);
  return crc;
}

// ---- reading ----

// The file changed length while it was read: its end is not where it was.
struct FileShrank {
  std::int64_t at;
};

// A window of one large block over the source, moved forward as the walk goes. The bytes of the
// music CRC's range are added to the CRC as the window leaves them, so the file is read once.
class Reader {
 public:
  explicit Reader(ContentSource& source)
      : source_(source),
        length_(std::max<std::int64_t>(source.length(), 0)),
        buffer_(static_cast<std::size_t>(std::clamp<std::int64_t>(length_, 1, kBlockSize))) {}

  std::int64_t length() const { return length_; }

  // Bytes [offset, offset + n) of the file, n <= kMaxSpan; null when they run past its end.
  const std::uint8_t* bytes(std::int64_t offset, std::size_t n) {
    if (n > kMaxSpan || offset < 0 || offset > length_ || static_cast<std::int64_t>(n) > length_ - offset) return nullptr;
    if (offset < start_ || offset + static_cast<std::int64_t>(n) > start_ + size_) {
      add_music_crc_to(offset);
      load(offset);
    }
    return buffer_.data() + (offset - start_);
  }

  // Up to n bytes at `offset` read straight from the source, leaving the window where it is.
  std::size_t read_aside(std::int64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset < 0 || offset > length_) return 0;
    n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), length_ - offset));
    std::size_t have = 0;
    while (have < n) {
      const std::size_t got = source_.read_at(offset + static_cast<std::int64_t>(have), out + have, n - have);
      if (got == 0) throw FileShrank{offset + static_cast<std::int64_t>(have)};
      have += got;
    }
    return have;
  }

  void set_music_crc_range(std::int64_t from, std::int64_t to) {
    crc_at_ = from;
    crc_to_ = to;
    crc_ = 0;
  }

  // The music CRC over its whole range; reads whatever of it the walk has not passed over.
  std::uint16_t music_crc_result() {
    add_music_crc_to(crc_to_);
    return crc_;
  }

 private:
  // Adds the bytes from crc_at_ up to `upto` (within the range) to the CRC.
  void add_music_crc_to(std::int64_t upto) {
    upto = std::min(upto, crc_to_);
    while (crc_at_ < upto) {
      if (crc_at_ < start_ || crc_at_ >= start_ + size_) load(crc_at_);
      const std::int64_t end = std::min(upto, start_ + size_);
      crc_ = music_crc(crc_, buffer_.data() + (crc_at_ - start_), static_cast<std::size_t>(end - crc_at_));
      crc_at_ = end;
    }
  }

  // A full block from `offset` (or up to the end of the file), keeping what the window holds of it.
  void load(std::int64_t offset) {
    std::size_t keep = 0;
    if (offset >= start_ && offset < start_ + size_) {
      keep = static_cast<std::size_t>(start_ + size_ - offset);
      std::memmove(buffer_.data(), buffer_.data() + (offset - start_), keep);
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(kBlockSize, length_ - offset));
    std::size_t have = keep;
    while (have < want) {
      const std::size_t got = source_.read_at(offset + static_cast<std::int64_t>(have), buffer_.data() + have, want - have);
      if (got == 0) throw FileShrank{offset + static_cast<std::int64_t>(have)};
      have += got;
    }
    start_ = offset;
    size_ = static_cast<std::int64_t>(want);
  }

  ContentSource& source_;
  std::int64_t length_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t start_ = 0;
  std::int64_t size_ = 0;
  std::int64_t crc_at_ = 0;
  std::int64_t crc_to_ = 0;
  std::uint16_t crc_ = 0;
};

// ---- frame headers ----

struct Header {
  int version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5 (the header's bits)
  int layer = 0;    // 1, 2, 3
  int rate_index = 0;
  bool protected_by_crc = false;
  bool mono = false;
  int length = 0;
  bool same_stream(const Header& o) const {
    return version == o.version && layer == o.layer && rate_index == o.rate_index;
  }
  // Bytes of Layer III side information.
  int side_info() const { return version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17); }
};

enum class HeaderKind { kNone, kFreeFormat, kFrame };

// kbit/s by bitrate index 1..14.
constexpr int kBitrates[5][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 Layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 Layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 Layer III
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 Layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 Layers II, III
};
constexpr int kRates[3] = {44100, 48000, 32000};

HeaderKind read_header(const std::uint8_t* b, Header& h) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return HeaderKind::kNone;
  h.version = (b[1] >> 3) & 3;
  const int layer_bits = (b[1] >> 1) & 3;
  const int bitrate_index = b[2] >> 4;
  h.rate_index = (b[2] >> 2) & 3;
  if (h.version == 1 || layer_bits == 0 || bitrate_index == 15 || h.rate_index == 3) return HeaderKind::kNone;
  h.layer = 4 - layer_bits;
  h.protected_by_crc = (b[1] & 1) == 0;
  h.mono = (b[3] >> 6) == 3;
  if (bitrate_index == 0) return HeaderKind::kFreeFormat;
  const bool mpeg1 = h.version == 3;
  const int row = mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
  const int bitrate = kBitrates[row][bitrate_index - 1] * 1000;
  const int rate = kRates[h.rate_index] >> (mpeg1 ? 0 : h.version == 2 ? 1 : 2);
  const int pad = (b[2] >> 1) & 1;
  if (h.layer == 1) h.length = (12 * bitrate / rate + pad) * 4;
  else if (h.layer == 3 && !mpeg1) h.length = 72 * bitrate / rate + pad;
  else h.length = 144 * bitrate / rate + pad;
  return HeaderKind::kFrame;
}

// ---- texts ----

std::string hex4(unsigned v) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(4, '0');
  for (int i = 3; i >= 0; --i, v >>= 4) out[static_cast<std::size_t>(i)] = kDigits[v & 15];
  return out;
}

std::string at_frame(std::int64_t n, std::int64_t at) { return "frame " + std::to_string(n) + " at byte " + std::to_string(at); }

ContentVerdict fail(std::string method, std::string detail, std::int64_t offset = -1, std::int64_t frame = -1) {
  return {ContentStatus::kFail, std::move(method), std::move(detail), offset, frame};
}

std::uint32_t be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint32_t le32(const std::uint8_t* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// ---- the parts of the file ----

// Where the tags in front end: ID3v2 tags one after another, each 10 header bytes, a syncsafe
// size, and 10 more with a footer. May lie past the end of the file.
std::int64_t leading_tags_end(Reader& in) {
  std::int64_t at = 0;
  for (int i = 0; i < kMaxLeadingTags; ++i) {
    const std::uint8_t* b = in.bytes(at, 10);
    if (!b || b[0] != 'I' || b[1] != 'D' || b[2] != '3' || b[3] == 0xFF || b[4] == 0xFF) break;
    if ((b[6] | b[7] | b[8] | b[9]) & 0x80) break;
    const std::int64_t size = (std::int64_t{b[6]} << 21) | (b[7] << 14) | (b[8] << 7) | b[9];
    at += 10 + size + ((b[5] & 0x10) ? 10 : 0);
  }
  return at;
}

// Where the music ends: before an ID3v1 tag and an APEv2 tag in front of it.
std::int64_t trailing_tags_start(Reader& in, std::int64_t music_start) {
  std::int64_t end = in.length();
  std::uint8_t b[3];
  if (end >= 128 && in.read_aside(end - 128, b, 3) == 3 && b[0] == 'T' && b[1] == 'A' && b[2] == 'G') end -= 128;
  std::uint8_t f[32];
  if (end - 32 >= music_start && in.read_aside(end - 32, f, 32) == 32) {
    if (std::memcmp(f, "APETAGEX", 8) == 0) {
      // The size counts the items and this footer; a header of 32 bytes may come in front.
      const std::int64_t size = le32(f + 12) + ((f[23] & 0x80) ? 32 : 0);
      if (le32(f + 12) >= 32 && size <= end - music_start) end -= size;
    }
  }
  return end;
}

// The Xing/Info frame in the first frame and the encoder's extension after it.
struct InfoFrame {
  bool present = false;
  bool has_frame_count = false;
  std::uint32_t frame_count = 0;
  bool encoder_extension = false;  // the encoder's extension, with a good CRC of its own
  std::int64_t music_end = -1;     // from the extension's music length
  std::uint16_t music_crc = 0;
};

constexpr std::size_t kExtensionSize = 36;

// Reads the Info frame of the first frame; a damaged one (its own CRC fails) gives a verdict.
bool read_info_frame(Reader& in, std::int64_t at, const Header& h, InfoFrame& info, ContentVerdict& verdict) {
  if (h.layer != 3) return false;
  const std::uint8_t* f = in.bytes(at, static_cast<std::size_t>(h.length));
  if (!f) return false;
  const auto n = static_cast<std::size_t>(h.length);
  // The encoder puts the tag right after the side information even in a protected frame.
  std::size_t x = 4 + static_cast<std::size_t>(h.side_info());
  const auto is_tag = [&](std::size_t p) {
    return p + 8 <= n && (std::memcmp(f + p, "Xing", 4) == 0 || std::memcmp(f + p, "Info", 4) == 0);
  };
  if (!is_tag(x)) {
    if (!h.protected_by_crc || !is_tag(x + 2)) return false;
    x += 2;
  }
  info.present = true;
  const std::uint32_t flags = be32(f + x + 4);
  std::size_t p = x + 8;
  if (flags & 1) {
    if (p + 4 > n) return true;
    info.has_frame_count = true;
    info.frame_count = be32(f + p);
    p += 4;
  }
  if (flags & 2) p += 4;
  if (flags & 4) p += 100;
  if (flags & 8) p += 4;
  if (p + kExtensionSize > n) return true;
  const std::uint8_t* e = f + p;
  // The encoder's own extension: "LAME" and its version, a revision of 0 (older versions wrote a
  // longer text there and no CRCs), its fields, the music length, the music CRC and the CRC of
  // the frame's bytes in front of that CRC.
  if (std::memcmp(e, "LAME", 4) != 0 || (e[9] >> 4) != 0) return true;
  const std::uint16_t stored_tag_crc = static_cast<std::uint16_t>((e[34] << 8) | e[35]);
  if (music_crc(0, f, p + 34) != stored_tag_crc) {
    verdict = fail("Info frame", "the Info frame's own CRC does not match: the frame is damaged", at, 1);
    return true;
  }
  info.encoder_extension = true;
  const std::int64_t music_length = be32(e + 28);
  // The music length counts from the Info frame's first byte; one that does not reach past the
  // frame is not given.
  if (music_length > h.length) info.music_end = at + music_length;
  info.music_crc = static_cast<std::uint16_t>((e[32] << 8) | e[33]);
  return true;
}

// A frame of the stream at `at` whose successor starts a frame of the same stream, or which ends
// exactly at `end`.
bool confirmed_frame(Reader& in, std::int64_t at, std::int64_t end, const Header* stream, Header& h) {
  const std::uint8_t* b = in.bytes(at, 4);
  if (!b || read_header(b, h) != HeaderKind::kFrame) return false;
  if (stream && !h.same_stream(*stream)) return false;
  const std::int64_t next = at + h.length;
  if (next == end) return true;
  if (next + 4 > end) return false;
  Header n;
  const std::uint8_t* nb = in.bytes(next, 4);
  return read_header(nb, n) == HeaderKind::kFrame && n.same_stream(h);
}

ContentVerdict check(Reader& in) {
  const std::int64_t tags_end = leading_tags_end(in);
  if (tags_end > in.length())
    return fail("frame walk", "the ID3v2 tag in front runs past the end of the file", 0);
  // The walk stops at the tags at the end, or where the Info frame says the music ends.
  const std::int64_t tags_start = trailing_tags_start(in, tags_end);
  std::int64_t end = tags_start;

  // The first frame.
  std::int64_t first = -1;
  Header h;
  bool free_format_first = false;
  const std::int64_t search_end = std::min(end, tags_end + kFirstFrameSearch);
  for (std::int64_t at = tags_end; at + 4 <= search_end; ++at) {
    const std::uint8_t* b = in.bytes(at, 4);
    if (b[0] != 0xFF) continue;
    Header free;
    if (at == tags_end && read_header(b, free) == HeaderKind::kFreeFormat) {
      free_format_first = true;
      break;
    }
    if (confirmed_frame(in, at, end, nullptr, h)) {
      first = at;
      break;
    }
  }
  if (free_format_first)
    return {ContentStatus::kUnsupported, "frame walk", "free-format MPEG audio (no bitrate in the frame headers)",
            tags_end, 1};
  if (first < 0) return fail("frame walk", "no MPEG audio frame found", tags_end);
  const Header stream = h;

  // The Info frame.
  InfoFrame info;
  ContentVerdict damaged;
  read_info_frame(in, first, h, info, damaged);
  if (damaged.status == ContentStatus::kFail) return damaged;
  if (info.music_end >= 0) {
    if (info.music_end < end) end = info.music_end;
    in.set_music_crc_range(first + h.length, info.music_end);
  }

  // The walk.
  std::int64_t at = first;
  std::int64_t frames = 0;
  std::int64_t frame_crcs = 0;
  while (at < end) {
    const std::int64_t n = frames + 1;
    const std::uint8_t* b = end - at >= 4 ? in.bytes(at, 4) : nullptr;
    if (!b || read_header(b, h) != HeaderKind::kFrame || !h.same_stream(stream)) {
      // Damage when the chain resumes further on; otherwise the rest is bytes after the music.
      const std::int64_t search_to = std::min(end, at + kResumeSearch);
      Header r;
      for (std::int64_t q = at + 1; q + 4 <= search_to; ++q) {
        const std::uint8_t* qb = in.bytes(q, 1);
        if (qb[0] == 0xFF && confirmed_frame(in, q, end, &stream, r))
          return fail("frame walk", at_frame(n, at) + ": no frame header; the frames resume at byte " + std::to_string(q), at, n);
      }
      if (search_to < end)
        return fail("frame walk", at_frame(n, at) + ": no frame header, nor a frame in the " + std::to_string(kResumeSearch) +
                                      " bytes after it (" + std::to_string(end - at) + " bytes to the end of the music)",
                    at, n);
      if (info.music_end >= 0)
        return fail("frame walk", at_frame(n, at) + ": no frame header, but the Info frame puts the end of the music at byte " +
                                      std::to_string(info.music_end),
                    at, n);
      break;
    }
    if (at + h.length > end) {
      if (end == tags_start)
        return fail("frame walk", at_frame(n, at) + " is cut short: " + std::to_string(end - at) + " of " + std::to_string(h.length) + " bytes",
                    at, n);
      return fail("frame walk", at_frame(n, at) + " runs past the end of the music the Info frame gives (byte " +
                                    std::to_string(info.music_end) + ")",
                  at, n);
    }
    if (h.protected_by_crc && h.layer == 3) {
      const auto side = static_cast<std::size_t>(h.side_info());
      if (static_cast<std::size_t>(h.length) < 6 + side)
        return fail("frame CRC", at_frame(n, at) + ": frame too short for its side information", at, n);
      const std::uint8_t* f = in.bytes(at, 6 + side);
      const std::uint16_t crc = frame_crc(frame_crc(0xFFFF, f + 2, 2), f + 6, side);
      if (crc != ((f[4] << 8) | f[5])) return fail("frame CRC", at_frame(n, at) + ": frame CRC mismatch", at, n);
      ++frame_crcs;
    }
    at += h.length;
    ++frames;
  }

  if (info.music_end >= 0 && at != info.music_end)
    return fail("frame walk", "the frames end at byte " + std::to_string(at) + ", but the Info frame puts the end of the music at byte " +
                                  std::to_string(info.music_end) + " (" + std::to_string(info.music_end - at) + " bytes missing)",
                at, frames + 1);
  const std::int64_t audio_frames = info.present ? frames - 1 : frames;
  if (info.has_frame_count && info.frame_count != audio_frames)
    return fail("frame walk", "the Info frame counts " + std::to_string(info.frame_count) + " frames after it; the walk found " +
                                  std::to_string(audio_frames));

  std::string detail = std::to_string(audio_frames) + " frames";
  std::string range;
  if (info.music_end >= 0) {
    range = "bytes " + std::to_string(first + stream.length) + ".." + std::to_string(info.music_end - 1);
    const std::uint16_t crc = in.music_crc_result();
    if (crc != info.music_crc)
      return fail("music CRC", "music CRC mismatch over " + range + ": stored " + hex4(info.music_crc) + ", computed " + hex4(crc));
    detail += "; music CRC over " + range;
  }
  if (frame_crcs > 0) detail += "; " + std::to_string(frame_crcs) + " frame CRCs";
  const std::string trailing = tags_start > at ? "; " + std::to_string(tags_start - at) + " bytes after the last frame" : "";
  detail += trailing;

  if (info.music_end < 0 && frame_crcs == 0)
    return {ContentStatus::kUnchecked, "frame walk",
            "no check in the file; the frame walk passed (" + std::to_string(audio_frames) + " frames)" + trailing, -1, -1};
  const char* method = info.music_end >= 0 ? (frame_crcs > 0 ? "music CRC and frame CRCs" : "music CRC") : "frame CRCs";
  return {ContentStatus::kOk, method, detail, -1, -1};
}

}  // namespace

ContentVerdict check_mp3_content(ContentSource& source) {
  Reader in(source);
  try {
    return check(in);
  } catch (const FileShrank& e) {
    return {ContentStatus::kUnreadable, "frame walk",
            "the file ended at byte " + std::to_string(e.at) + ", before its length of " + std::to_string(in.length()) + " bytes", e.at,
            -1};
  }
}

}  // namespace qn
