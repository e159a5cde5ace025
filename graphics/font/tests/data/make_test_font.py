#!/usr/bin/env python3
"""Writes square.ttf: a tiny TrueType face with glyphs of known shape for the font tests.

Family "KoTest Square" (also the Japanese name "コテスト角"); units per em 1000; Windows
ascent/descent 800/200 (the cell), horizontal header 900/-300 (deliberately different).
  space  no outline, advance 500
  'A'    the whole cell (x 0..1000, y -200..800), advance 1000
  'B'    the upper half of the cell (y 300..800), advance 1000
  'C'    the cell's left half (x 0..500), advance 1000
"""
import struct, sys

def square(x0, y0, x1, y1):
    pts = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
    data = struct.pack(">hhhhh", 1, x0, y0, x1, y1) + struct.pack(">HH", 3, 0)
    data += bytes([1] * 4)
    px = py = 0
    xs = ys = b""
    for x, y in pts:
        xs += struct.pack(">h", x - px); px = x
        ys += struct.pack(">h", y - py); py = y
    return data + xs + ys

glyphs = [b"", b"", square(0, -200, 1000, 800), square(0, 300, 1000, 800), square(0, -200, 500, 800)]
advances = [500, 500, 1000, 1000, 1000]
glyf = b""; loca = []
for g in glyphs:
    if len(g) % 2: g += b"\0"
    loca.append(len(glyf) // 2); glyf += g
loca.append(len(glyf) // 2)
n = len(glyphs)

head = struct.pack(">IIIIHHqqhhhhHHhhh", 0x10000, 0x10000, 0, 0x5F0F3CF5, 0x000B, 1000, 0, 0,
                   0, -200, 1000, 800, 0, 8, 2, 0, 0)
hhea = struct.pack(">Ihhh H hhh hhh hhhh h H", 0x10000, 900, -300, 0, 1000, 0, 0, 1000, 1, 0, 0,
                   0, 0, 0, 0, 0, n)
maxp = struct.pack(">IHHHHHHHHHHHHHH", 0x10000, n, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0)
hmtx = b"".join(struct.pack(">Hh", a, 0) for a in advances)
os2 = struct.pack(">HhHHH hhhhhhhhhh h 10s IIII 4s HHH hhh HH II hhHHH",
                  4, 600, 400, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50, 300, 0, b"\0" * 10,
                  1, 0, 0, 0, b"KOTS", 0x40, 0x20, 0x43, 800, -200, 0, 800, 200, 1, 0,
                  500, 700, 0, 0x20, 1)
post = struct.pack(">IIhhIIIII", 0x30000, 0, -100, 50, 0, 0, 0, 0, 0)

segs = [(0x20, 0x20, 1), (0x41, 0x43, 2), (0xFFFF, 0xFFFF, None)]
segx2 = 2 * len(segs)
sr = 2 * (1 << (len(segs).bit_length() - 1))
cmap4 = struct.pack(">HHH", segx2, sr, (sr // 2).bit_length() - 1) + struct.pack(">H", segx2 - sr)
cmap4 += b"".join(struct.pack(">H", e) for _, e, _ in segs) + b"\0\0"
cmap4 += b"".join(struct.pack(">H", s) for s, _, _ in segs)
cmap4 += b"".join(struct.pack(">H", ((g if g is not None else 0) - s) % 0x10000)
                  for s, _, g in segs)
cmap4 += b"\0\0" * len(segs)
sub = struct.pack(">HHH", 4, 14 + len(cmap4), 0) + cmap4
cmap = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub

names = [(3, 1, 0x409, 1, "KoTest Square"), (3, 1, 0x409, 2, "Regular"),
         (3, 1, 0x409, 4, "KoTest Square"), (3, 1, 0x411, 1, "コテスト角")]
strings = b""; recs = b""
for p, e, l, i, s in names:
    b = s.encode("utf-16-be")
    recs += struct.pack(">HHHHHH", p, e, l, i, len(b), len(strings)); strings += b
name = struct.pack(">HHH", 0, len(names), 6 + 12 * len(names)) + recs + strings

locab = b"".join(struct.pack(">H", o) for o in loca)
tables = {b"OS/2": os2, b"cmap": cmap, b"glyf": glyf, b"head": head, b"hhea": hhea,
          b"hmtx": hmtx, b"loca": locab, b"maxp": maxp, b"name": name, b"post": post}

def checksum(d):
    d += b"\0" * (-len(d) % 4)
    return sum(struct.unpack(">%dI" % (len(d) // 4), d)) & 0xFFFFFFFF

tags = sorted(tables)
nt = len(tags)
es = nt.bit_length() - 1
out = struct.pack(">IHHHH", 0x10000, nt, 16 << es, es, nt * 16 - (16 << es))
offset = 12 + 16 * nt
body = b""
for t in tags:
    d = tables[t]
    out += struct.pack(">4sIII", t, checksum(d), offset + len(body), len(d))
    body += d + b"\0" * (-len(d) % 4)
open(sys.argv[1] if len(sys.argv) > 1 else "square.ttf", "wb").write(out + body)
