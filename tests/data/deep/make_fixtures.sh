#!/bin/sh
# Makes the real tracks of the deep-check tests: an MP3 from lame (its Info frame carries the
# music CRC) with both tag kinds, a FLAC stream from flac, and that stream retagged with metaflac.
# Needs: python3, lame, flac, metaflac, id3v2. Run from anywhere; writes next to this script.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# tone FILE RATE CHANNELS SECONDS: a chord, 16-bit WAV
tone() {
  python3 - "$@" <<'PY'
import math, struct, sys, wave
path, rate, channels, secs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
frames = bytearray()
for i in range(int(secs * rate)):
    t = i / rate
    v = (math.sin(2 * math.pi * 440 * t) + math.sin(2 * math.pi * 587 * t) * (1 + math.sin(t)) / 2) / 2
    frames += struct.pack("<h", int(9000 * v)) * channels
with wave.open(path, "wb") as w:
    w.setnchannels(channels)
    w.setsampwidth(2)
    w.setframerate(rate)
    w.writeframes(bytes(frames))
PY
}

tone "$tmp/mp3.wav" 22050 1 3
lame --quiet --noreplaygain -b 64 -m m "$tmp/mp3.wav" deep.mp3
id3v2 -a "Deep Artist" -t "Deep Title" -A "Deep Album" -y 1964 -T 1 deep.mp3 >/dev/null

tone "$tmp/flac.wav" 11025 2 3
flac --silent --force --no-seektable -5 -o deep.flac "$tmp/flac.wav"
cp deep.flac deep_retagged.flac
metaflac --set-tag="TITLE=A Title Added Later" deep_retagged.flac

# Their checksum fields, from the independent reference tool (the retagged stream keeps the
# original's: it stands for a file changed after its line was made).
python3 ../../tools/qn_fingerprint.py deep.mp3 deep.flac | tr -d '\r' > fingerprints.txt
