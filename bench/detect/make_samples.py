#!/usr/bin/env python3
"""Cuts detection samples from one part of the corpus and writes them for bench_detect.

    python3 bench/detect/make_samples.py OUT [--part heldout] [--count 1000] [--seed 1]

For each length bucket and sample number a start is drawn (fixed seed) in the part's text,
which is every document of the part joined by line feeds. From there characters are taken,
whole, while the sample still fits the bucket's length in the code it is written in, so every
sample ends at a character boundary and is at most the bucket's length. The same text is
written in sjis, jis, euc and utf8; sjis-hwkana has its own draw. A start is drawn again when
the window holds a character that one of the codes cannot hold, or when a sample would hold
no non-ASCII character (sjis-hwkana: no half-width kana). The codes, as files written on Windows and Linux hold them:
  sjis         code page 932
  sjis-hwkana  code page 932 with every katakana half-width (the older habit)
  jis          ISO-2022-JP: ESC $ B for JIS X 0208 and its NEC rows, ESC ( I for
               half-width katakana, ESC ( B before ASCII and at the end
  euc          EUC-JP with the NEC rows (code page 932's IBM kanji as their NEC twins)
  utf8         UTF-8 without byte-order mark
Each record: code number (u8), bucket (u32), sample length (u32), sample bytes, text length
(u32), the text in UTF-8 (what a right conversion gives back). Little-endian.
"""

import argparse
import os
import random
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "nkf32",
                                "tables"))
import detect_corpus  # noqa: E402
import detect_gen  # noqa: E402

BUCKETS = (8, 16, 32, 64, 128, 256, 1024, 8192)
CODES = ("sjis", "sjis-hwkana", "jis", "euc", "utf8")


def cp932_units():
    """Each character code page 932 holds, as (kind, bytes): kind "a" ASCII, "k" half-width
    kana, "w" a JIS X 0208 position (bytes: row, cell) usable in EUC-JP and ISO-2022-JP."""
    units = {}
    by_char = {}
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            try:
                c = bytes([lead, trail]).decode("cp932")
            except UnicodeDecodeError:
                continue
            by_char.setdefault(c, []).append((lead, trail))
    for c, codes in by_char.items():
        try:
            if c.encode("cp932").decode("cp932") != c:
                continue
        except UnicodeEncodeError:
            continue
        rows = []
        for lead, trail in codes:
            if lead >= 0xF0:
                continue  # user-defined and IBM rows: no JIS X 0208 position
            li = lead - 0x81 if lead <= 0x9F else lead - 0xE0 + 31
            ti = trail - 0x40 if trail <= 0x7E else trail - 0x41
            row = li * 2 + (1 if ti < 94 else 2)
            cell = ti % 94 + 1
            rows.append((row, cell))
        if rows:
            units[c] = ("w", min(rows))
    for b in range(0xA1, 0xE0):
        units[bytes([b]).decode("cp932")] = ("k", b)
    for b in range(0x20, 0x7F):
        units[chr(b)] = ("a", b)
    for c in "\t\r\n":
        units[c] = ("a", ord(c))
    return units


UNITS = cp932_units()


def encode(text, code):
    if code in ("sjis", "sjis-hwkana"):
        return text.encode("cp932")
    if code == "utf8":
        return text.encode("utf-8")
    out = bytearray()
    if code == "euc":
        for c in text:
            kind, v = UNITS[c]
            if kind == "a":
                out.append(v)
            elif kind == "k":
                out += bytes([0x8E, v])
            else:
                out += bytes([v[0] + 0xA0, v[1] + 0xA0])
        return bytes(out)
    mode = "a"
    for c in text:
        kind, v = UNITS[c]
        if kind != mode:
            out += {"a": b"\x1b(B", "k": b"\x1b(I", "w": b"\x1b$B"}[kind]
            mode = kind
        if kind == "a":
            out.append(v)
        elif kind == "k":
            out.append(v - 0x80)
        else:
            out += bytes([v[0] + 0x20, v[1] + 0x20])
    if mode != "a":
        out += b"\x1b(B"
    return bytes(out)


def cut(text, start, size, code):
    """The longest text from start whose encoding fits size bytes, and its encoding."""
    lo, hi = 0, min(size, len(text) - start)
    best = b""
    while lo < hi:  # the encoded length grows with the character count
        mid = (lo + hi + 1) // 2
        data = encode(text[start:start + mid], code)
        if len(data) <= size:
            lo, best = mid, data
        else:
            hi = mid - 1
    return text[start:start + lo], best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--part", default="heldout", choices=("heldout", "dev", "train"))
    ap.add_argument("--count", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()

    text = "\n".join(t for _, t in detect_corpus.part(args.part))
    usable = [c in UNITS for c in text]
    rng = random.Random(args.seed)

    def draw(bucket, codes, transform=lambda t: t, need=lambda c: ord(c) >= 0x80):
        """Samples of one text in the given codes, each holding a character that need()."""
        while True:
            start = rng.randrange(len(text) - 1)
            window = text[start:start + bucket]
            if not all(usable[start:start + len(window)]):
                continue
            window = transform(window)
            cuts = [cut(window, 0, bucket, code) for code in codes]
            if all(any(need(c) for c in chars) for chars, _ in cuts):
                return cuts

    def is_half_kana(c):
        return 0xFF61 <= ord(c) <= 0xFF9F

    with open(args.out, "wb") as out:
        def write(number, bucket, chars, data):
            out.write(struct.pack("<BII", number, bucket, len(data)) + data)
            plain = chars.encode("utf-8")
            out.write(struct.pack("<I", len(plain)) + plain)

        plain_codes = [c for c in CODES if c != "sjis-hwkana"]
        for bucket in BUCKETS:
            for _ in range(args.count):
                for code, (chars, data) in zip(plain_codes, draw(bucket, plain_codes)):
                    write(CODES.index(code), bucket, chars, data)
                (chars, data), = draw(bucket, ["sjis-hwkana"], detect_gen.to_half_width,
                                      is_half_kana)
                write(CODES.index("sjis-hwkana"), bucket, chars, data)

if __name__ == "__main__":
    main()
