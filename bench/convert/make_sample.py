#!/usr/bin/python3
"""Writes the throughput benchmark's sample text, in the four codes, into a folder.

The Japanese text is the translations in the Japanese message catalogues that Debian's packages
install (/usr/share/locale/ja/LC_MESSAGES/*.mo); the ASCII sample is the English originals of
the same catalogues. Messages are shuffled with a fixed seed and repeated until the sample has
the asked size, so the same set of catalogues always gives the same bytes.

A message is kept only when Shift_JIS (cp932), EUC-JP and ISO-2022-JP all hold it and give it
back unchanged, so every converter in the benchmark meets the same characters in every code.
That drops the characters the codes map to different Unicode forms (the wave dash and its
full-width twin, for one) and half-width katakana, which ISO-2022-JP does not carry.

Usage: make_sample.py OUT_DIR [--mib N] [--seed N]
Writes sample.sjis, sample.euc, sample.jis, sample.utf8 and ascii.txt, and prints a summary.
"""

import argparse
import glob
import hashlib
import os
import random
import struct
import sys

CATALOGUES = "/usr/share/locale/ja/LC_MESSAGES/*.mo"

# file name -> Python codec
CODES = {
    "sample.sjis": "cp932",
    "sample.euc": "euc_jp",
    "sample.jis": "iso2022_jp",
    "sample.utf8": "utf-8",
}


def read_catalogue(path):
    """Yields (original, translation) byte pairs of one GNU .mo file."""
    data = open(path, "rb").read()
    if len(data) < 28:
        raise ValueError(f"{path}: too short for a message catalogue")
    magic = struct.unpack("<I", data[:4])[0]
    if magic == 0x950412DE:
        endian = "<"
    elif magic == 0xDE120495:
        endian = ">"
    else:
        raise ValueError(f"{path}: not a message catalogue")
    count, originals, translations = struct.unpack(endian + "3I", data[8:20])

    def string(table, i):
        length, offset = struct.unpack(endian + "2I", data[table + 8 * i : table + 8 * i + 8])
        if offset + length > len(data):
            raise ValueError(f"{path}: string {i} runs past the end")
        return data[offset : offset + length]

    for i in range(count):
        yield string(originals, i), string(translations, i)


def every_code_holds(text):
    for codec in ("cp932", "euc_jp", "iso2022_jp"):
        try:
            if text.encode(codec).decode(codec) != text:
                return False
        except UnicodeError:
            return False
    return True


def clean(raw):
    """One message as text lines, or None when it is unusable. Plural forms are split on their
    separating zero byte; carriage returns and other control characters are dropped so every
    line ending in the sample is one line feed."""
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        return None
    text = text.replace("\0", "\n")
    text = "".join(c for c in text if c == "\n" or c == "\t" or ord(c) >= 0x20 and c != "\x7f")
    text = text.strip("\n")
    return text or None


def fill(messages, size, rng):
    """Shuffled passes over messages, one per line, until at least size bytes of UTF-8."""
    lines, total = [], 0
    while total < size:
        batch = list(messages)
        rng.shuffle(batch)
        for m in batch:
            lines.append(m)
            total += len(m.encode("utf-8")) + 1
            if total >= size:
                break
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--mib", type=float, default=4.0, help="size of the UTF-8 sample")
    parser.add_argument("--seed", type=int, default=20240601)
    args = parser.parse_args()

    paths = sorted(glob.glob(CATALOGUES))
    if not paths:
        sys.exit(f"make_sample.py: no catalogues match {CATALOGUES}")
    japanese, english, dropped = [], [], 0
    for path in paths:
        for original, translation in read_catalogue(path):
            if not original:
                continue  # the catalogue's header entry
            ja = clean(translation)
            if ja is not None and any(ord(c) >= 0x80 for c in ja):
                if every_code_holds(ja):
                    japanese.append(ja)
                else:
                    dropped += 1
            en = clean(original)
            if en is not None and en.isascii():
                english.append(en)
    if not japanese or not english:
        sys.exit("make_sample.py: the catalogues hold no usable text")
    # Sorted first so the order of the files on disk does not change the sample.
    japanese.sort()
    english.sort()

    size = int(args.mib * 1024 * 1024)
    text = fill(japanese, size, random.Random(args.seed))
    ascii_text = fill(english, size, random.Random(args.seed + 1))

    os.makedirs(args.out_dir, exist_ok=True)
    for name, codec in CODES.items():
        data = text.encode(codec)
        if data.decode(codec) != text:
            sys.exit(f"make_sample.py: {codec} did not give the sample back")
        with open(os.path.join(args.out_dir, name), "wb") as f:
            f.write(data)
    with open(os.path.join(args.out_dir, "ascii.txt"), "wb") as f:
        f.write(ascii_text.encode("ascii"))

    digest = hashlib.sha256(text.encode("utf-8")).hexdigest()[:16]
    non_ascii = sum(1 for c in text if ord(c) >= 0x80)
    print(
        f"sample: {len(paths)} catalogues, {len(japanese)} messages ({dropped} dropped), "
        f"{len(text)} characters, {100 * non_ascii / len(text):.0f}% non-ASCII, "
        f"sha256 {digest}, seed {args.seed}"
    )


if __name__ == "__main__":
    main()
