// The FLAC deep check: the whole stream decoded by libFLAC, the reference decoder, which checks each
// frame's CRCs and the MD5 of the decoded audio against STREAMINFO. The first error ends the decode,
// so a damaged or hostile stream costs no more than the bytes up to it.
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "audio/content_check.h"

namespace qn {
namespace {

// The source is read in blocks of this size through one buffer, whatever libFLAC asks for.
constexpr std::int64_t kReadBlock = 1 << 20;

struct Decode {
  // A short track needs no more than its length (a length that then grows costs only more reads).
  explicit Decode(ContentSource& s)
      : source(s),
        buffer_size(static_cast<std::size_t>(std::clamp<std::int64_t>(s.length(), 4096, kReadBlock))),
        buffer(new unsigned char[buffer_size]) {}

  ContentSource& source;
  std::size_t buffer_size;
  std::unique_ptr<unsigned char[]> buffer;
  std::size_t buffered = 0;     // bytes in `buffer`
  std::size_t handed = 0;       // of which libFLAC has taken this many
  std::int64_t next_read = 0;   // source offset of the byte after `buffer`
  std::int64_t passed = 0;      // bytes handed to libFLAC so far (its tell)

  bool have_streaminfo = false;
  bool have_md5 = false;
  std::uint64_t total_samples = 0;

  std::uint64_t frames = 0;
  std::uint64_t samples = 0;
  std::int64_t frame_start = 0;  // where the next frame should begin

  bool stop = false;  // the next read or write aborts the decode
  bool failed = false;
  ContentVerdict failure;
  std::exception_ptr read_error;

  void fail(ContentVerdict verdict) {
    if (!failed) {
      failed = true;
      failure = std::move(verdict);
    }
    stop = true;
  }
};

Decode& of(void* client) { return *static_cast<Decode*>(client); }

FLAC__StreamDecoderReadStatus on_read(const FLAC__StreamDecoder*, FLAC__byte out[], size_t* bytes, void* client) {
  Decode& d = of(client);
  if (d.stop) {
    *bytes = 0;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }
  if (d.handed == d.buffered) {
    // libFLAC's C frames must never see an exception: it is kept and thrown once the decoder is gone.
    try {
      d.buffered = d.source.read_at(d.next_read, d.buffer.get(), d.buffer_size);
    } catch (...) {
      d.read_error = std::current_exception();
      d.stop = true;
      *bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    d.handed = 0;
    d.next_read += static_cast<std::int64_t>(d.buffered);
    if (d.buffered == 0) {
      *bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
  }
  const std::size_t n = std::min(*bytes, d.buffered - d.handed);
  std::memcpy(out, d.buffer.get() + d.handed, n);
  d.handed += n;
  d.passed += static_cast<std::int64_t>(n);
  *bytes = n;
  return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderTellStatus on_tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* client) {
  *offset = static_cast<FLAC__uint64>(of(client).passed);
  return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

ContentVerdict not_flac() { return {ContentStatus::kFail, "frame walk", "not a FLAC stream", 0, -1}; }

FLAC__StreamDecoderWriteStatus on_write(const FLAC__StreamDecoder* decoder, const FLAC__Frame* frame,
                                        const FLAC__int32* const[], void* client) {
  Decode& d = of(client);
  // Frames without STREAMINFO before them are not a FLAC file, whatever libFLAC makes of them.
  if (!d.have_streaminfo) d.fail(not_flac());
  if (d.stop) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  ++d.frames;
  d.samples += frame->header.blocksize;
  FLAC__uint64 position = 0;
  if (FLAC__stream_decoder_get_decode_position(decoder, &position)) d.frame_start = static_cast<std::int64_t>(position);
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void on_metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  Decode& d = of(client);
  if (block->type != FLAC__METADATA_TYPE_STREAMINFO || d.have_streaminfo) return;
  d.have_streaminfo = true;
  d.total_samples = block->data.stream_info.total_samples;
  static const FLAC__byte kNoMd5[16] = {};
  d.have_md5 = std::memcmp(block->data.stream_info.md5sum, kNoMd5, sizeof kNoMd5) != 0;
}

void on_error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client) {
  Decode& d = of(client);
  if (d.stop) return;
  if (!d.have_streaminfo) {
    d.fail(not_flac());
    return;
  }
  const std::int64_t frame = static_cast<std::int64_t>(d.frames + 1);
  const std::string at = " at byte " + std::to_string(d.frame_start);
  const std::string where = "frame " + std::to_string(frame) + at;
  switch (status) {
    case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH:
      d.fail({ContentStatus::kFail, "frame CRC", where + ": frame CRC mismatch", d.frame_start, frame});
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER:
      d.fail({ContentStatus::kFail, "frame walk", where + ": bad frame header", d.frame_start, frame});
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM:
      d.fail({ContentStatus::kUnsupported, "frame walk",
              where + ": reserved fields in use (a later encoder or damage); the check cannot follow it",
              d.frame_start, frame});
      break;
    case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_METADATA:
      d.fail({ContentStatus::kFail, "frame walk", "a metadata block is damaged", -1, -1});
      break;
    default:
      d.fail({ContentStatus::kFail, "frame walk",
              "lost sync" + at + (d.frames == 0 ? " (before the first frame)" : " (after frame " + std::to_string(d.frames) + ")"),
              d.frame_start, frame});
      break;
  }
}

struct DecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

}  // namespace

ContentVerdict check_flac_content(ContentSource& source) {
  Decode d(source);
  std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder) throw std::bad_alloc();
  FLAC__stream_decoder_set_md5_checking(decoder.get(), true);
  if (FLAC__stream_decoder_init_stream(decoder.get(), on_read, nullptr, on_tell, nullptr, nullptr, on_write, on_metadata,
                                       on_error, &d) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    throw std::bad_alloc();

  // The metadata first, so that the first frame's place is known.
  bool metadata_ended = false;
  if (FLAC__stream_decoder_process_until_end_of_metadata(decoder.get()) && !d.stop) {
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder.get());
    metadata_ended = state == FLAC__STREAM_DECODER_SEARCH_FOR_FRAME_SYNC || state == FLAC__STREAM_DECODER_READ_FRAME;
    FLAC__uint64 position = 0;
    if (FLAC__stream_decoder_get_decode_position(decoder.get(), &position))
      d.frame_start = static_cast<std::int64_t>(position);
    if (metadata_ended) FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
  }
  const bool md5_good = FLAC__stream_decoder_finish(decoder.get());
  decoder.reset();
  if (d.read_error) std::rethrow_exception(d.read_error);

  if (d.failed) return d.failure;
  if (!d.have_streaminfo) return not_flac();
  if (!metadata_ended)
    return {ContentStatus::kFail, "frame walk", "the stream ends inside its metadata blocks", d.passed, -1};
  if (d.total_samples != 0 && d.samples != d.total_samples) {
    return {ContentStatus::kFail, "sample count",
            d.samples < d.total_samples ? "the stream ends after " + std::to_string(d.samples) + " of " + std::to_string(d.total_samples) + " samples"
                                        : "the stream holds " + std::to_string(d.samples) + " samples where its STREAMINFO says " +
                                              std::to_string(d.total_samples),
            d.frame_start, -1};
  }
  if (!d.have_md5)
    return {ContentStatus::kOk, "frame CRCs", "the stream carries no MD5 (all zero); every frame CRC matches", -1, -1};
  if (!md5_good) return {ContentStatus::kFail, "MD5", "MD5 of the decoded audio differs from the stream's", -1, -1};
  return {ContentStatus::kOk, "MD5 and frame CRCs", "MD5 of " + std::to_string(d.samples) + " samples matches", -1, -1};
}

}  // namespace qn
