#!/bin/sh
# Rebuilds the ID3v2 test files in this folder from a generated tone, with real tag writers:
# Debian's id3v2 tool (v2.3, ISO-8859-1), mid3v2 and mutagen (v2.4, v2.3 UTF-16), and a few
# lines of python for v2.2, which no installed tool writes. Needs lame, id3v2, python3-mutagen.
set -eu
cd "$(dirname "$0")"
PY=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One second of a 440 Hz tone at 8 kHz, 8 kbit/s mono: about 1 KB of MPEG 2.5 audio.
"$PY" - "$work/tone.raw" <<'PYEOF'
import math, struct, sys
samples = (int(3000 * math.sin(2 * math.pi * 440 * i / 8000)) for i in range(8000))
open(sys.argv[1], "wb").write(b"".join(struct.pack("<h", s) for s in samples))
PYEOF
lame -r -s 8 --bitwidth 16 --signed --little-endian -m m -b 8 --silent "$work/tone.raw" "$work/plain.mp3"

# v2.3 by the id3v2 tool: ISO-8859-1 texts, TCON "(17)", three COMM frames (the tool adds one
# for the ID3v1 comment).
f=v23_latin1_tcon17_three_comm.mp3
cp "$work/plain.mp3" "$f"
id3v2 -t "Help" -a "The Artist" -A "An Album" -g 17 -c "d1":"first":"eng" "$f"
id3v2 -c "d2":"second":"eng" "$f"

# The same tag behind 5000 bytes of other data: found in the second search block.
f=junk5000_v23_latin1.mp3
"$PY" -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + 1) % 200 for i in range(5000)))' > "$f"
cat v23_latin1_tcon17_three_comm.mp3 >> "$f"

# v2.4 by mid3v2 (UTF-8 texts), TCON "(17)Rock".
f=v24_mid3v2_tcon17rock.mp3
cp "$work/plain.mp3" "$f"
mid3v2 -t "Title Four" -a "Artist Four" --TCON "(17)Rock" --TRCK "3/12" "$f"

# v2.3 by mutagen with UTF-16 texts (BOM and zero bytes inside) and TCON "Rock".
f=v23_utf16_tcon_rock.mp3
cp "$work/plain.mp3" "$f"
"$PY" - "$f" <<'PYEOF'
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TCON, COMM
tags = ID3()
tags.add(TIT2(encoding=1, text="H\u00e9lp"))
tags.add(TPE1(encoding=1, text="Art"))
tags.add(TCON(encoding=0, text="Rock"))
tags.add(COMM(encoding=1, lang="eng", desc="", text="Note"))
tags.save(sys.argv[1], v2_version=3)
PYEOF

# v2.2 from its byte layout: 6-byte frame headers, three-character ids (TBP has no stored id),
# two TT2 frames.
f=v22_tt2_tp1_tco.mp3
"$PY" - "$f" "$work/plain.mp3" <<'PYEOF'
import sys
def frame(fid, content):
    return fid + len(content).to_bytes(3, "big") + content
body = (frame(b"TT2", b"\x00Old Title") + frame(b"TP1", b"\x00V2 Artist")
        + frame(b"TBP", b"\x00120") + frame(b"TCO", b"\x00(17)")
        + frame(b"COM", b"\x00engdesc\x00v2 comment") + frame(b"TT2", b"\x00V2 Title"))
body += b"\x00" * 32
size = len(body)
synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
audio = open(sys.argv[2], "rb").read()
open(sys.argv[1], "wb").write(b"ID3\x02\x00\x00" + synchsafe + body + audio)
PYEOF

cp "$work/plain.mp3" no_tag.mp3
