#!/usr/bin/env python3
"""Helpers of scripts/bench: building the benchmark data and timing commands.

  bench_tool.py folder DEST COUNT          one folder of COUNT tracks + .qn
  bench_tool.py collection SRC ROOT N M    N folders of M tracks, hard-linked from SRC
  bench_tool.py scale SRC ROOT N...        nested roots of folders of hard links to every file of
                                           SRC (see make_scale); prints each root's path
  bench_tool.py time RUNS LABEL CWD CMD... prints the median wall time in seconds of
                                           RUNS runs after one warm-up (details on stderr)
  bench_tool.py cold RUNS LABEL DIR CWD CMD...
                                           the same with every file below DIR evicted from
                                           the page cache before each run, no warm-up; prints
                                           the median time and the median bytes read from disk
  bench_tool.py evict DIR                  evicts every file below DIR (checked with fincore)

The distinct audio comes from a handful of lame encodings that scripts/bench
makes in the folder named by the environment variable BENCH_AUDIO; every track is one
of them behind its own ID3v2 tag (different text and padding, so the start of
audio and the fingerprints differ per file) and an ID3v1 tag.
"""

import glob
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "tools"))
import qn_fingerprint  # noqa: E402


def text_frame(frame_id, text):
    body = b"\x00" + text.encode("latin-1")
    return frame_id.encode("ascii") + len(body).to_bytes(4, "big") + b"\x00\x00" + body


def id3v2_tag(artist, title, album, track, padding):
    frames = (text_frame("TPE1", artist) + text_frame("TIT2", title)
              + text_frame("TALB", album) + text_frame("TYER", "1975")
              + text_frame("TRCK", str(track)))
    size = len(frames) + padding
    synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + synchsafe + frames + bytes(padding)


def id3v1_tag(artist, title, album, track):
    def field(text, width):
        return text.encode("latin-1")[:width].ljust(width, b"\x00")
    return (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + b"1975"
            + bytes(28) + b"\x00" + bytes([track % 256]) + b"\xff")


def audio_sources():
    paths = sorted(glob.glob(os.path.join(os.environ["BENCH_AUDIO"], "*.mp3")))
    if not paths:
        sys.exit("bench_tool: no encoded audio in BENCH_AUDIO")
    return [open(p, "rb").read() for p in paths]


def make_folder(dest, count):
    audio = audio_sources()
    name = os.path.basename(dest.rstrip("/"))
    os.makedirs(dest, exist_ok=True)
    lines = []
    for i in range(1, count + 1):
        artist = "Bench Artist %04d" % i
        title = "Bench Title %04d" % i
        stem = "u1975_%04d - %s - %s" % (i, artist, title)
        path = os.path.join(dest, stem + ".mp3")
        data = (id3v2_tag(artist, title, name, i, 256 + (i * 37) % 1024)
                + audio[i % len(audio)] + id3v1_tag(artist, title, name, i))
        with open(path, "wb") as f:
            f.write(data)
        lines.append(os.fsencode(qn_fingerprint.checksum_line(path)))
    with open(os.path.join(dest, name + ".qn"), "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in lines))


def make_collection(src, root, folders, tracks):
    """Folders of hard links to the tracks of src, each under its own track names.

    A track's fingerprint depends on its bytes only, so the lines of src are reused.
    """
    src_qn = glob.glob(os.path.join(src, "*.qn"))[0]
    entries = []
    for raw in open(src_qn, "rb").read().split(b"\r\n"):
        if raw:
            stem, fp = raw.split(b".mp3", 1)
            entries.append((stem.decode(), fp))
    for k in range(folders):
        year = 1952 + k % 38
        folder = os.path.join(root, "Quarnell %d Folder %03d" % (year, k + 1))
        os.makedirs(folder, exist_ok=True)
        lines = []
        for j in range(tracks):
            src_stem, fp = entries[(k * tracks + j) % len(entries)]
            stem = "u%d_%03d - Artist %03d - Title %03d" % (year, j + 1, j + 1, k + 1)
            target = os.path.join(folder, stem + ".mp3")
            if not os.path.exists(target):
                os.link(os.path.join(src, src_stem + ".mp3"), target)
            lines.append(stem.encode() + b".mp3" + fp + b"\r\n")
        with open(os.path.join(folder, os.path.basename(folder) + ".qn"), "wb") as f:
            f.write(b"".join(lines))


def scale_roots(root, counts):
    """The roots of make_scale, innermost (fewest folders) first."""
    paths, path = [], root
    for n in sorted(counts, reverse=True):
        path = os.path.join(path, "Scale %d folders" % n)
        paths.append(path)
    return paths[::-1]


def make_scale(src, root, counts):
    """Nested roots of counts[0] < counts[1] < ... folders, each folder a copy of src in hard links.

    Each root holds the next smaller one as a sub-folder beside its own folders, so `-r` over a
    root takes a prefix of the collection and no file is linked twice. A folder's files keep the
    names of src, its .qn included, whose lines thus stay valid. The names are linked in order, so
    a folder holding the last one is whole: an interrupted build resumes where it stopped, and a
    finished one costs a stat per folder.
    """
    names = sorted(n for n in os.listdir(src) if not n.startswith("."))
    counts = sorted(counts)
    roots = scale_roots(root, counts)
    made = 0
    for i, path in enumerate(roots):
        for k in range(counts[i - 1] if i else 0, counts[i]):
            folder = os.path.join(path, "Quarnell %d Scale %06d" % (1952 + k % 38, k + 1))
            if os.path.lexists(os.path.join(folder, names[-1])):
                continue
            os.makedirs(folder, exist_ok=True)
            for name in names:
                try:
                    os.link(os.path.join(src, name), os.path.join(folder, name))
                except FileExistsError:
                    pass
            made += 1
    if made:
        print("bench_tool: linked %d folders of %d files" % (made, len(names)), file=sys.stderr)
    for path in roots:
        print(path)


def time_command(runs, label, cwd, cmd):
    def once():
        start = time.perf_counter()
        subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return time.perf_counter() - start

    once()  # warm the page cache
    samples = [once() for _ in range(runs)]
    median = statistics.median(samples)
    print("%-24s median %8.3f s  (min %.3f, max %.3f, %d runs)"
          % (label, median, min(samples), max(samples), runs), file=sys.stderr)
    return median


def files_below(root):
    for folder, _, names in os.walk(root):
        for name in names:
            yield os.path.join(folder, name)


def evict(root):
    """Drops the cached pages of every file below root; fails when fincore still sees some."""
    paths = list(files_below(root))
    for path in paths:
        fd = os.open(path, os.O_RDONLY)
        try:
            os.fdatasync(fd)  # pages not yet written out cannot be dropped
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(fd)
    cached = 0
    for i in range(0, len(paths), 500):
        out = subprocess.run(["fincore", "--bytes", "--noheadings", "--output", "RES"] + paths[i:i + 500],
                             check=True, capture_output=True, text=True).stdout
        cached += sum(int(v) for v in out.split())
    if cached:
        sys.exit("bench_tool: %d bytes of %s stay in the page cache" % (cached, root))


def run_counting_reads(cmd, cwd):
    """Runs cmd; returns (seconds, bytes it read from disk).

    The bytes are the kernel's read_bytes count of the process and its threads (what
    /proc/<pid>/io shows), which wait4 hands back as ru_inblock in 512-byte units.
    """
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    proc.returncode = 0
    return elapsed, usage.ru_inblock * 512


def time_cold(runs, label, root, cwd, cmd):
    samples, reads = [], []
    for _ in range(runs):
        evict(root)
        elapsed, read = run_counting_reads(cmd, cwd)
        samples.append(elapsed)
        reads.append(read)
    median = statistics.median(samples)
    print("%-24s median %8.3f s  (min %.3f, max %.3f, %d runs), read from disk %.1f MB"
          % (label, median, min(samples), max(samples), runs, statistics.median(reads) / 1e6), file=sys.stderr)
    return median, statistics.median(reads)


def main(argv):
    if len(argv) >= 3 and argv[0] == "folder":
        make_folder(argv[1], int(argv[2]))
    elif len(argv) >= 5 and argv[0] == "collection":
        make_collection(argv[1], argv[2], int(argv[3]), int(argv[4]))
    elif len(argv) >= 4 and argv[0] == "scale":
        make_scale(argv[1], argv[2], [int(n) for n in argv[3:]])
    elif len(argv) >= 5 and argv[0] == "time":
        print("%.6f" % time_command(int(argv[1]), argv[2], argv[3], argv[4:]))
    elif len(argv) >= 6 and argv[0] == "cold":
        print("%.6f %d" % time_cold(int(argv[1]), argv[2], argv[3], argv[4], argv[5:]))
    elif len(argv) == 2 and argv[0] == "evict":
        evict(argv[1])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
