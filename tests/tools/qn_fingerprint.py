#!/usr/bin/env python3
"""Compute .qn checksum lines for test fixtures.

    qn_fingerprint.py [--six] FILE...

Prints one line per file (CR LF line ends) to stdout:

  NAME.mp3 P0 Z P1 Z P2 Z P3 Z P4 [Z P5]     (no blanks between the pieces)
  NAME.flac 0 Z P1 Z P2 Z P3 Z P4

MP3 parts:
  0  hex sum of the bytes in front of the audio (offsets 0 .. S-1)
  1  hex sum of the 128-byte ID3v1 tag, "0" when the file has none
  2  length of the audio L - S - T (T = 128 with an ID3v1 tag, else 0)
  3  start of audio S
  4  four-digit sum of the 255 bytes from S on, then four-digit sum of the
     end block: offsets L-383 .. L-129 (five parts) or E-255 .. E-1 (--six)
  5  end of audio E (--six only): offset of the last valid frame header + 5

FLAC parts:
  0  "0"
  1  file length L
  2  hex sum of offsets 0 .. 99
  3  hex sum of offsets L-101 .. L-2
  4  hex sum of the 100 bytes from M-1 on, M = L/2 rounded half to even

This tool is a test reference: it is written from the verification rules
alone and shares no code with the verifier.  Standard library only.
"""

import os
import sys

MPEG1_L3_KBPS = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MPEG2_L3_KBPS = [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]

END_SEARCH_SPAN = 80005


class ByteSource:
    """Random access to a file's bytes; bytes outside the file read as zero.

    Only the regions actually asked for are read, in 64 KiB chunks, so a
    fingerprint of a large file touches little more than its head and tail.
    """

    CHUNK = 65536

    def __init__(self, path):
        self._f = open(path, "rb")
        self.length = os.fstat(self._f.fileno()).st_size
        self._chunks = {}

    def close(self):
        self._f.close()

    def _chunk(self, index):
        data = self._chunks.get(index)
        if data is None:
            self._f.seek(index * self.CHUNK)
            data = self._f.read(self.CHUNK)
            self._chunks[index] = data
        return data

    def read(self, offset, count):
        out = bytearray()
        pos = offset
        end = offset + count
        while pos < end:
            if pos < 0:
                n = min(end, 0) - pos
                out += bytes(n)
                pos += n
                continue
            if pos >= self.length:
                out += bytes(end - pos)
                break
            index, inner = divmod(pos, self.CHUNK)
            data = self._chunk(index)
            piece = data[inner:inner + (end - pos)]
            out += piece
            pos += len(piece)
        return bytes(out)

    def byte(self, offset):
        if offset < 0 or offset >= self.length:
            return 0
        index, inner = divmod(offset, self.CHUNK)
        return self._chunk(index)[inner]


def hex_text(value):
    return format(value, "X")


def hex_byte_sum(data):
    return hex_text(sum(data))


def four_digits(value):
    return format(value, "04X")


# ---------------------------------------------------------------- frames

def header_fields(b):
    """Fields of a 4-byte frame header, or None when it is not acceptable."""
    if b[0] != 0xFF or (b[1] & 0xE0) != 0xE0:
        return None
    version = (b[1] >> 3) & 3      # 3 = MPEG-1, 2 = MPEG-2
    layer = (b[1] >> 1) & 3        # 1 = Layer III
    bitrate_index = b[2] >> 4
    rate_index = (b[2] >> 2) & 3
    padding = (b[2] >> 1) & 1
    emphasis = b[3] & 3
    if version not in (2, 3):
        return None
    if layer != 1:
        return None
    if bitrate_index in (0, 15):
        return None
    if rate_index == 3:
        return None
    if emphasis == 0:
        pass
    elif emphasis == 1 and b[1] == 0xFB:
        pass
    else:
        return None
    return version, bitrate_index, rate_index, padding


def frame_length(fields):
    version, bitrate_index, rate_index, padding = fields
    rate = {2: 32000, 1: 48000}.get(rate_index, 44100)
    if version == 2:
        rate = rate / 2
        pad = 1
        kbps = MPEG2_L3_KBPS[bitrate_index - 1]
    else:
        pad = 1 if padding else 0
        kbps = MPEG1_L3_KBPS[bitrate_index - 1]
    # The factor is 144 for both versions; computed in floating point.
    return int(144 * kbps * 1000 / rate + pad)


def search_start(src):
    """0-based offset at which the start-of-audio search begins."""
    head = src.read(0, 10)
    if head[:3] == b"ID3":
        pos = (head[6] << 21) | (head[7] << 14) | (head[8] << 7) | head[9]
    else:
        pos = 1
    # An ID3v2 header whose size bytes are all zero would put the search at
    # offset -1; begin at the start of the file instead.
    return max(pos - 1, 0)


def find_start_of_audio(src):
    L = src.length
    o = search_start(src)
    candidate = None
    while True:
        r = o
        fields = header_fields(src.read(r, 4)) if src.byte(r) == 0xFF else None
        if fields is not None:
            if candidate is None:
                candidate = r
                o = r + frame_length(fields)
            else:
                return 1 if candidate == 0 else candidate
        else:
            if L - r < 133:
                return -1
            if candidate is not None:
                o = candidate + 1
                candidate = None
            else:
                o = r + 1
        if not r + 5 < L:
            return -1


def find_end_of_audio(src):
    L = src.length
    o = L - 4
    while True:
        if src.byte(o) == 0xFF and header_fields(src.read(o, 4)) is not None:
            return o + 5
        if o > L - END_SEARCH_SPAN and o > 0:
            o -= 1
        else:
            return -1


# ---------------------------------------------------------------- lines

def mp3_fingerprint(src, six):
    L = src.length
    S = find_start_of_audio(src)
    if S < 0:
        raise ValueError("no start of audio")
    tail = src.read(L - 128, 128) if L >= 128 else b""
    if tail[:3] == b"TAG":
        id3v1 = hex_byte_sum(tail)
        T = 128
    else:
        id3v1 = "0"
        T = 0
    if L - S - T < 0:
        # an ID3v1 tag over the first frames: no length of audio a line could hold
        raise ValueError("the ID3v1 tag overlaps the start of audio")
    start_block = sum(src.read(S, 255))
    parts = [hex_byte_sum(src.read(0, S)), id3v1, hex_text(L - S - T), hex_text(S)]
    if six:
        E = find_end_of_audio(src)
        if E < 0:
            raise ValueError("no end of audio within the last %d bytes" % END_SEARCH_SPAN)
        if E < 255:
            # the end block would begin before the file does
            raise ValueError("end of audio %d lies within the first 255 bytes" % E)
        end_block = sum(src.read(E - 255, 255))
        parts.append(four_digits(start_block) + four_digits(end_block))
        parts.append(hex_text(E))
    else:
        if L < 383:
            raise ValueError("file shorter than 383 bytes")
        end_block = sum(src.read(L - 383, 255))
        parts.append(four_digits(start_block) + four_digits(end_block))
    return "Z".join(parts)


def flac_middle(L):
    half, odd = divmod(L, 2)
    if odd and half % 2 == 1:
        return half + 1
    return half


def flac_fingerprint(src):
    L = src.length
    if L < 101:
        # the end block would begin before the file does
        raise ValueError("file shorter than 101 bytes")
    M = flac_middle(L)
    parts = [
        "0",
        hex_text(L),
        hex_byte_sum(src.read(0, 100)),
        hex_byte_sum(src.read(L - 101, 100)),
        hex_byte_sum(src.read(M - 1, 100)),
    ]
    return "Z".join(parts)


def checksum_line(path, six=False):
    name = os.path.basename(path)
    src = ByteSource(path)
    try:
        if name.endswith(".mp3"):
            return name[:-4] + ".mp3" + mp3_fingerprint(src, six)
        if name.endswith(".flac"):
            return name[:-5] + ".flac" + flac_fingerprint(src)
        raise ValueError("neither .mp3 nor .flac")
    finally:
        src.close()


def main(argv):
    six = False
    files = []
    for arg in argv:
        if arg == "--six":
            six = True
        elif arg in ("-h", "--help"):
            sys.stdout.write(__doc__)
            return 0
        else:
            files.append(arg)
    if not files:
        sys.stderr.write("usage: qn_fingerprint.py [--six] FILE...\n")
        return 2
    out = sys.stdout.buffer
    status = 0
    for path in files:
        try:
            line = checksum_line(path, six)
        except (OSError, ValueError) as err:
            sys.stderr.write("%s: %s\n" % (path, err))
            status = 1
            continue
        # Names go out as the bytes the file system holds, so a line names
        # its file exactly.
        out.write(os.fsencode(line) + b"\r\n")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
