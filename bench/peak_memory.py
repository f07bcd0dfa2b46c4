#!/usr/bin/env python3
"""Peak memory of qnverify on the largest checksum files it accepts.

    bench/peak_memory.py [--folders N] [--jobs J] [--qnverify PATH] [--data DIR]

Builds N folders (default 8), each with one track file and a checksum file of 64 MiB of short
lines whose tracks are missing (some 870,000 entries), under DIR (default build-bench/memory,
kept between runs), then runs, each as a child whose peak resident set wait4 reports:

    qnverify FOLDER                 one folder, the report on standard output
    qnverify --json FOLDER          one folder, as JSON
    qnverify -r -jJ --json ROOT     every folder, J at a time (default 8), as JSON

Standard output goes to /dev/null. Prints the peak (MB), the time and the exit status of each, and
the bound a run is held to: 64 MB + 2 x the checksum file bytes it holds at once (one file for a
single folder, J for -r). Nothing is asserted: the figures are for the reader.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MOST_CHECKSUM_BYTES = 64 << 20  # the largest checksum file a run reads


def make_folder(folder, number):
    os.makedirs(folder, exist_ok=True)
    qn = os.path.join(folder, "big.qn")
    if os.path.exists(qn) and os.path.getsize(qn) > MOST_CHECKSUM_BYTES - 200:
        return
    # One file on disk, so the run has something to look its entries up in.
    with open(os.path.join(folder, "u1964_000000 - Present - Track.mp3"), "wb") as f:
        f.write(b"x" * 1000)
    size = 0
    with open(qn + ".part", "wb") as f:
        n = 0
        while True:
            n += 1
            line = b"u1964_%07d - A Missing Artist Name %02d - A Missing Track Title.mp3\r\n" % (n, number)
            if size + len(line) > MOST_CHECKSUM_BYTES:
                break
            f.write(line)
            size += len(line)
    os.replace(qn + ".part", qn)


def peak_of(cmd):
    start = time.monotonic()
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(cmd, stdout=null, stderr=null)
        _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - start
    code = os.waitstatus_to_exitcode(status)
    return usage.ru_maxrss / 1024.0, seconds, code  # ru_maxrss is in KiB on Linux


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--folders", type=int, default=8)
    parser.add_argument("--jobs", type=int, default=8)
    parser.add_argument("--qnverify", default=os.environ.get("QNVERIFY", os.path.join(ROOT, "build", "qnverify")))
    parser.add_argument("--data", default=os.path.join(ROOT, "build-bench", "memory"))
    args = parser.parse_args(argv)
    if not os.access(args.qnverify, os.X_OK):
        sys.exit("peak_memory: no qnverify at %s (build it, or give --qnverify)" % args.qnverify)

    folders = [os.path.join(args.data, "F%02d" % i) for i in range(1, args.folders + 1)]
    for number, folder in enumerate(folders, 1):
        make_folder(folder, number)
    lines = sum(1 for _ in open(os.path.join(folders[0], "big.qn"), "rb"))
    held_mb = MOST_CHECKSUM_BYTES / 1e6
    print("qnverify: %s" % args.qnverify)
    print("%d folders, each a %d-byte checksum file of %d lines" % (len(folders), MOST_CHECKSUM_BYTES, lines))
    runs = [
        ("one folder", [args.qnverify, folders[0]], 1),
        ("one folder --json", [args.qnverify, "--json", folders[0]], 1),
        ("-r -j%d --json" % args.jobs, [args.qnverify, "-r", "-j%d" % args.jobs, "--json", args.data],
         min(args.jobs, len(folders))),
    ]
    print("%-22s %10s %10s %8s %6s" % ("run", "peak MB", "bound MB", "seconds", "exit"))
    for label, cmd, held in runs:
        peak, seconds, code = peak_of(cmd)
        print("%-22s %10.0f %10.0f %8.1f %6d" % (label, peak, 64 + 2 * held * held_mb, seconds, code), flush=True)


if __name__ == "__main__":
    main(sys.argv[1:])
