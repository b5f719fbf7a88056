#!/usr/bin/python3
"""Python's chardet on every sample of a make_samples.py file: one answer per line."""

import struct
import sys

import chardet


def main():
    data = open(sys.argv[1], "rb").read()
    pos = 0
    out = []
    while pos < len(data):
        _, _, size = struct.unpack_from("<BII", data, pos)
        pos += 9
        sample = data[pos:pos + size]
        pos += size
        (text_size,) = struct.unpack_from("<I", data, pos)
        pos += 4 + text_size
        out.append(chardet.detect(sample)["encoding"] or "none")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
