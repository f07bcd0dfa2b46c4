#!/usr/bin/env python3
"""Checks of the fixture fingerprint tool against hand-built files.

Run: python3 -m unittest discover -s tests/tools
"""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import qn_fingerprint as qf  # noqa: E402

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "qn_fingerprint.py")

HDR = bytes([0xFF, 0xFB, 0x90, 0x00])   # MPEG-1 L3 128k 44.1k, frame length 417
HDR_LEN = 417


def frames(count, filler=0x11):
    """count back-to-back frames of 417 bytes."""
    frame = HDR + bytes([filler]) * (HDR_LEN - 4)
    return frame * count


def id3v2(size):
    """An ID3v2 header declaring `size` bytes, followed by that many zero bytes."""
    sb = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + sb + bytes(size)


class TempFiles(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.addCleanup(self._dir.cleanup)

    def write(self, name, data):
        path = os.path.join(self._dir.name, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def parts(self, name, data, six=False):
        line = qf.checksum_line(self.write(name, data), six)
        ext = ".mp3" if name.endswith(".mp3") else ".flac"
        return line.split(ext, 1)[1].split("Z")


class FrameHeaders(unittest.TestCase):
    def length(self, b):
        fields = qf.header_fields(bytes(b))
        self.assertIsNotNone(fields, bytes(b).hex())
        return qf.frame_length(fields)

    def test_frame_lengths(self):
        self.assertEqual(self.length([0xFF, 0xFB, 0x90, 0x00]), 417)
        self.assertEqual(self.length([0xFF, 0xFB, 0x92, 0x00]), 418)
        # MPEG-2: factor 144 and a pad of 1 whatever the padding bit says
        self.assertEqual(self.length([0xFF, 0xF3, 0x80, 0x00]), 418)

    def test_rejections(self):
        rejected = [
            [0xFF, 0xFA, 0x90, 0x01],  # emphasis 01 with CRC present
            [0xFF, 0xFB, 0x90, 0x02],  # emphasis 10
            [0xFF, 0xFB, 0x90, 0x03],  # emphasis 11
            [0xFF, 0xE3, 0x90, 0x00],  # MPEG-2.5
            [0xFF, 0xEB, 0x90, 0x00],  # reserved version
            [0xFF, 0xFD, 0x90, 0x00],  # Layer II
            [0xFF, 0xFF, 0x90, 0x00],  # Layer I
            [0xFF, 0xFB, 0x00, 0x00],  # free bitrate
            [0xFF, 0xFB, 0xF0, 0x00],  # bad bitrate
            [0xFF, 0xFB, 0x9C, 0x00],  # reserved sampling rate
            [0xFF, 0xDB, 0x90, 0x00],  # incomplete sync
            [0xFE, 0xFB, 0x90, 0x00],
        ]
        for b in rejected:
            self.assertIsNone(qf.header_fields(bytes(b)), bytes(b).hex())
        self.assertIsNotNone(qf.header_fields(bytes([0xFF, 0xFB, 0x90, 0x01])))


class StartOfAudio(TempFiles):
    def test_first_frame_at_offset_zero_counts_as_one(self):
        p = self.parts("a.mp3", frames(4) + bytes(400))
        self.assertEqual(p[3], "1")
        self.assertEqual(p[0], "FF")                     # sum of byte 0
        self.assertEqual(int(p[2], 16), 4 * HDR_LEN + 400 - 1)

    def test_unconfirmed_candidate_resumes_one_byte_on(self):
        # a lone header at 10, then real frames from 20: 10 + 417 is no header
        data = bytes(10) + HDR + bytes(6) + frames(3) + bytes(200)
        self.assertEqual(self.parts("b.mp3", data)[3], format(20, "X"))

    def test_search_begins_eleven_bytes_before_the_tag_end(self):
        tag = bytearray(id3v2(1000))                     # audio begins at 1010
        tag[100:100 + 2 * HDR_LEN] = frames(2)           # never examined
        data = bytes(tag) + frames(3) + bytes(200)
        p = self.parts("c.mp3", data)
        self.assertEqual(int(p[3], 16), 1010)
        self.assertEqual(p[0], format(sum(data[:1010]), "X"))

    def test_no_start_of_audio(self):
        path = self.write("d.mp3", bytes(2000))
        with self.assertRaises(ValueError):
            qf.checksum_line(path)


class Blocks(TempFiles):
    def test_five_part_blocks_and_id3v1(self):
        v1 = b"TAG" + bytes(range(1, 126))
        data = id3v2(90) + frames(3) + v1
        L = len(data)
        p = self.parts("e.mp3", data)
        S = 100
        self.assertEqual(p[1], format(sum(v1), "X"))
        self.assertEqual(int(p[2], 16), L - S - 128)
        self.assertEqual(p[4][:4], format(sum(data[S:S + 255]), "04X"))
        self.assertEqual(p[4][4:], format(sum(data[L - 383:L - 128]), "04X"))
        self.assertEqual(len(p), 5)

    def test_lower_case_tag_is_no_id3v1(self):
        data = frames(3) + b"tag" + bytes(125)
        self.assertEqual(self.parts("f.mp3", data)[1], "0")

    def test_six_part_end_of_audio(self):
        data = frames(3) + bytes(100)
        p = self.parts("g.mp3", data, six=True)
        E = 2 * HDR_LEN + 5
        self.assertEqual(int(p[5], 16), E)
        self.assertEqual(p[4][4:], format(sum(data[E - 255:E]), "04X"))

    def test_end_block_before_the_file_start_is_refused(self):
        # 32 kbit/s frames of 104 bytes at 0 and 104: E = 109, E - 255 < 0
        small = bytes([0xFF, 0xFB, 0x10, 0x00]) + bytes(100)
        path = self.write("j.mp3", small * 2 + bytes(500))
        self.assertEqual(qf.checksum_line(path).split(".mp3")[1].split("Z")[3], "1")
        with self.assertRaises(ValueError):
            qf.checksum_line(path, six=True)

    def test_id3v1_tag_over_the_first_frames_is_refused(self):
        # the tag size starts the search at 290, past the tag at L - 128: L - S - 128 < 0
        small = bytes([0xFF, 0xF3, 0x10, 0x00])  # MPEG-2, 8 kbit/s: frame length 53
        data = b"ID3\x03\x00\x00\x00\x00\x02\x23" + bytes(262) + b"TAG" + bytes(15)
        data += small + bytes(49) + small
        path = self.write("k.mp3", data + bytes(400 - len(data)))
        for six in (False, True):
            with self.assertRaises(ValueError):
                qf.checksum_line(path, six)

    def test_end_search_window(self):
        # the last header at L - 80005 is still found ...
        data = frames(2) + bytes(80005 - HDR_LEN)
        self.assertEqual(int(self.parts("h.mp3", data, six=True)[5], 16), len(data) - 80000)
        # ... one byte further from the end it is not
        path = self.write("i.mp3", frames(2) + bytes(80006 - HDR_LEN))
        with self.assertRaises(ValueError):
            qf.checksum_line(path, six=True)


class Flac(TempFiles):
    def test_middle_rounds_half_to_even(self):
        self.assertEqual(qf.flac_middle(1001), 500)
        self.assertEqual(qf.flac_middle(1003), 502)
        self.assertEqual(qf.flac_middle(1000), 500)

    def test_blocks(self):
        data = bytes((i * 7 + 3) % 256 for i in range(1003))
        p = self.parts("x.flac", data)
        self.assertEqual(p[0], "0")
        self.assertEqual(p[1], "3EB")
        self.assertEqual(p[2], format(sum(data[0:100]), "X"))
        self.assertEqual(p[3], format(sum(data[1003 - 101:1003 - 1]), "X"))
        self.assertEqual(p[4], format(sum(data[501:601]), "X"))


    def test_shortest_file(self):
        data = bytes(range(101))
        self.assertEqual(self.parts("y.flac", data)[3], format(sum(data[0:100]), "X"))
        with self.assertRaises(ValueError):
            qf.checksum_line(self.write("z.flac", data[:100]))


class CommandLine(TempFiles):
    def test_lines_end_with_cr_lf_and_keep_the_name(self):
        a = self.write("u1964_001 - A - T.mp3", frames(3))
        b = self.write("u1964_002 - A - T.flac", bytes(500))
        out = subprocess.run([sys.executable, TOOL, a, b], check=True,
                             capture_output=True).stdout
        lines = out.split(b"\r\n")
        self.assertEqual(lines[-1], b"")
        self.assertTrue(lines[0].startswith(b"u1964_001 - A - T.mp3FFZ0Z"))
        self.assertTrue(lines[1].startswith(b"u1964_002 - A - T.flac0Z1F4Z"))
        self.assertNotIn(b"\n", out.replace(b"\r\n", b""))


if __name__ == "__main__":
    unittest.main()
