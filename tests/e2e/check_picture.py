#!/usr/bin/env python3
"""Checks the frame pictures the simulated host wrote for harness/frame.kvts.

The fixture's last frame is known: the gold title at (65, 20), the selection
band on the "Gamma" line (y 75, 18 high, from x 0 to 510) and a green box at
(320, 250), 60 by 19, on the dark background. Each picture must be a valid PNG
(signature, chunk CRCs, zlib stream) of 640 x 480 RGB showing exactly that.
"""
import struct
import sys
import zlib

WIDTH, HEIGHT = 640, 480
BACKGROUND = (18, 22, 30)


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("bad signature")
    at, chunks = 8, []
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        chunks.append((kind, body))
        at += 12 + length
    if [k for k, _ in chunks][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise ValueError("chunks out of order")
    width, height, depth, colour, _, _, _ = struct.unpack(">IIBBBBB", chunks[0][1])
    if (width, height, depth, colour) != (WIDTH, HEIGHT, 8, 2):
        raise ValueError("header %r" % ((width, height, depth, colour),))
    raw = zlib.decompress(b"".join(b for k, b in chunks if k == b"IDAT"))
    stride = WIDTH * 3 + 1
    if len(raw) != stride * HEIGHT or any(raw[y * stride] != 0 for y in range(HEIGHT)):
        raise ValueError("image data of the wrong size or filter")
    return lambda x, y: tuple(raw[y * stride + 1 + x * 3:y * stride + 4 + x * 3])


def check(path):
    pixel = read_png(path)
    problems = []
    if pixel(630, 470) != BACKGROUND:
        problems.append("background at (630, 470) is %r" % (pixel(630, 470),))
    gold = [pixel(x, y) for x in range(65, 200) for y in range(20, 37)]
    if not any(r > 200 and g > 150 and b < 120 for r, g, b in gold):
        problems.append("no gold title text near (65, 20)")
    band = pixel(5, 80)
    if not (band[2] > band[0] + 30 and band != BACKGROUND):
        problems.append("no selection band at (5, 80): %r" % (band,))
    if pixel(5, 45) != BACKGROUND:
        problems.append("band outside the selected line at (5, 45): %r" % (pixel(5, 45),))
    if pixel(330, 255) != (0, 255, 0) or pixel(385, 255) != BACKGROUND:
        problems.append("green box wrong: %r / %r" % (pixel(330, 255), pixel(385, 255)))
    return problems


def main():
    failed = False
    for path in sys.argv[1:]:
        try:
            problems = check(path)
        except (OSError, ValueError, zlib.error) as error:
            problems = [str(error)]
        print("%s: %s" % (path, "ok" if not problems else "; ".join(problems)))
        failed = failed or bool(problems)
    return 1 if failed or len(sys.argv) < 2 else 0


if __name__ == "__main__":
    sys.exit(main())
