#!/bin/sh
# Makes the small real MP3 files of the audio tests with lame, and writes their checksum
# fingerprints, computed here in Python from the raw bytes, to fingerprints.txt; then the small
# FLAC files of the content check with flac and metaflac.
# Needs: python3, lame, flac, metaflac. Run from anywhere; writes next to this script.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One second of a 440 Hz tone, 32 kHz, 16-bit signed little-endian mono.
python3 - "$tmp/tone.pcm" <<'PY'
import math, struct, sys
rate = 32000
with open(sys.argv[1], "wb") as f:
    for i in range(rate):
        f.write(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / rate))))
PY

# MPEG-1 Layer III, 32 kbit/s at 32 kHz: 144-byte frames, no padding.
lame --quiet -r -s 32 --bitwidth 16 --little-endian --signed -m m -b 32 --resample 32 \
  "$tmp/tone.pcm" tone_plain.mp3
# The same with an ID3v2 tag (padded) in front and an ID3v1 tag at the end.
lame --quiet -r -s 32 --bitwidth 16 --little-endian --signed -m m -b 32 --resample 32 \
  --add-id3v2 --pad-id3v2-size 300 --tt "Fixture Title" --ta "Fixture Artist" --tl "Fixtures" \
  "$tmp/tone.pcm" tone_tagged.mp3

# For the deep content check: 48 kHz at 128 kbit/s gives frames of exactly 384 bytes, so every
# frame's offset follows from the first. Half a second of a sweeping stereo tone.
python3 - "$tmp/sweep.pcm" <<'PY2'
import math, struct, sys
rate = 48000
with open(sys.argv[1], "wb") as f:
    for i in range(rate // 2):
        t = i / rate
        left = int(8000 * math.sin(2 * math.pi * (300 + 900 * t) * t))
        right = int(6000 * math.sin(2 * math.pi * 523 * t))
        f.write(struct.pack("<hh", left, right))
PY2
raw48="-r -s 48 --bitwidth 16 --little-endian --signed"
# The encoder's Info frame, an ID3v2 tag in front and an ID3v1 tag at the end.
lame --quiet $raw48 -m j -b 128 --add-id3v2 --tt "Deep Title" --ta "Deep Artist" \
  "$tmp/sweep.pcm" deep_tagged.mp3
# The same retagged by another tool: other tags, the same music.
cp deep_tagged.mp3 deep_retagged.mp3
id3v2 -a "Another Artist" -t "A longer title that moves the audio further on" -A "An Album" deep_retagged.mp3
# CRC-protected frames, no tags.
lame --quiet $raw48 -m j -b 128 -p "$tmp/sweep.pcm" deep_protected.mp3
# No Info frame (-t): nothing in the file to check the music against.
lame --quiet $raw48 -m j -b 128 -t "$tmp/sweep.pcm" deep_no_info.mp3
# MPEG-2 mono, variable bitrate: a Xing frame after 9 bytes of side information.
lame --quiet -r -s 48 --bitwidth 16 --little-endian --signed -m m --resample 22.05 -V 6 \
  "$tmp/sweep.pcm" deep_vbr_mono.mp3

python3 - tone_plain.mp3 tone_tagged.mp3 > fingerprints.txt <<'PY'
# Fingerprints by the rules of the checksum files, written out independently of the C++ code.
import sys

BITRATES = {  # kbit/s for bitrate index 1..14: MPEG-1 Layer III, MPEG-2 Layer III
    3: [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    2: [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}

def header(b, o):
    """Frame length of an accepted header at offset o, or None."""
    if o < 0 or o + 4 > len(b):
        return None
    h = int.from_bytes(b[o:o + 4], "big")
    if h >> 21 != 0x7FF:
        return None
    version, layer = (h >> 19) & 3, (h >> 17) & 3
    rate_index, bitrate_index = (h >> 10) & 3, (h >> 12) & 15
    padding, emphasis = (h >> 9) & 1, h & 3
    if version not in (3, 2) or layer != 1 or bitrate_index in (0, 15) or rate_index == 3:
        return None
    if emphasis not in (0, 1) or (emphasis == 1 and b[o + 1] != 0xFB):
        return None
    rate = {0: 44100, 1: 48000, 2: 32000}[rate_index]
    mpeg2 = version == 2
    if mpeg2:
        rate /= 2
    pad = 1 if (mpeg2 or padding) else 0
    return int(144 * BITRATES[3 if not mpeg2 else 2][bitrate_index - 1] * 1000 / rate + pad)

def start_of_audio(b):
    o = 0
    if b[:3] == b"ID3":
        o = max(((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]) - 1, 0)
    while o + 5 < len(b):
        n = header(b, o)
        if n and header(b, o + n):
            return max(o, 1)
        o += 1
    return -1

def end_of_audio(b):
    for o in range(len(b) - 4, max(len(b) - 80005, 0) - 1, -1):
        if header(b, o):
            return o + 5
    return -1

def hx(n):
    return format(n, "X")

def four(n):
    return format(n, "04X")

for name in sys.argv[1:]:
    b = open(name, "rb").read()
    L = len(b)
    v1 = sum(b[-128:]) if b[-128:-125] == b"TAG" else 0
    s = start_of_audio(b)
    e = end_of_audio(b)
    t = 128 if v1 else 0
    v2 = sum(b[:s])
    start_block = sum(b[s:s + 255])
    five = "Z".join([hx(v2), hx(v1), hx(L - s - t), hx(s), four(start_block) + four(sum(b[L - 383:L - 128]))])
    six = "Z".join([hx(v2), hx(v1), hx(e - s), hx(s), four(start_block) + four(sum(b[e - 255:e])), hx(e)])
    print(name, five, six)
PY
cat fingerprints.txt

# One second of a tone with a little noise (so that frames are not constant), 8 kHz, 16-bit mono,
# in frames of 1024 samples: 8 frames, the last one short.
python3 - "$tmp/tone.wav" <<'PY'
import math, struct, sys, wave
seed = 5
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(8000)
    out = bytearray()
    for i in range(8000):
        seed = (seed * 1103515245 + 12345) % 2**31
        out += struct.pack("<h", int(6000 * math.sin(2 * math.pi * 440 * i / 8000)) + seed % 601 - 300)
    w.writeframes(bytes(out))
PY
flac --silent --force --no-seektable --blocksize=1024 --padding=256 -o tone.flac "$tmp/tone.wav"
# The same retagged in place: the tag grows into the padding, the audio stays as it was.
cp tone.flac tone_retagged.flac
metaflac --set-tag="TITLE=Fixture Title" --set-tag="ARTIST=Fixture Artist" tone_retagged.flac
# Where each frame starts (the tests cut and change the files at these places).
python3 - tone.flac <<'PY'
import sys
b = open(sys.argv[1], "rb").read()
o = 4
while True:
    last, n = b[o] & 0x80, int.from_bytes(b[o + 1:o + 4], "big")
    o += 4 + n
    if last:
        break
starts = [o]
# A header: the sync code 0xFFF8, two bytes of sizes, then the frame number (one byte below 128).
while True:
    o = b.find(b"\xff\xf8", o + 2)
    if o < 0:
        break
    if b[o + 4] == len(starts):
        starts.append(o)
print("tone.flac:", len(b), "bytes, frames at", starts)
PY
