#!/usr/bin/env python3
"""Writes Quillora's version resource from its description (quillora-version.json).

The output is the binary tree Windows keeps as a program's version resource: VS_VERSIONINFO
holding the fixed file information, one StringFileInfo string table for the translation and
a VarFileInfo\\Translation value. Every number is little-endian, every key and text UTF-16,
and every node starts on a 32-bit boundary. The build stores the result in a section of the
executable.

  make-version-resource.py DESCRIPTION OUTPUT [--without KEY]... [--without-translation]

--without drops one string and --without-translation the VarFileInfo block; the tests use
them to make the damaged resources they read.
"""

import argparse
import json
import struct
import sys


def pad4(data: bytes) -> bytes:
    return data + b"\0" * (-len(data) % 4)


def node(key: str, value: bytes = b"", text: bool = False, children=()) -> bytes:
    body = pad4(struct.pack("<HHH", 0, 0, 0) + (key + "\0").encode("utf-16-le")) + value
    if children:
        body = pad4(body) + b"".join(pad4(child) for child in children)
    if len(body) > 0xFFFF:
        sys.exit(f"version resource: node {key!r} is longer than 65535 bytes")
    value_length = len(value) // 2 if text else len(value)
    return struct.pack("<HHH", len(body), value_length, 1 if text else 0) + body[6:]


def text_value(text: str) -> bytes:
    return (text + "\0").encode("utf-16-le")


def version_numbers(text: str) -> tuple:
    parts = [int(p) for p in text.split(".")]
    if len(parts) != 4 or any(not 0 <= p <= 0xFFFF for p in parts):
        sys.exit(f"version resource: {text!r} is not four numbers of 0..65535")
    return (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])


def fixed_file_info(description: dict) -> bytes:
    file_ms, file_ls = version_numbers(description["file_version"])
    product_ms, product_ls = version_numbers(description["product_version"])
    return struct.pack(
        "<13I",
        0xFEEF04BD,  # signature
        0x00010000,  # structure version 1.0
        file_ms, file_ls, product_ms, product_ls,
        0x3F,  # flags mask
        0,  # flags: no debug, pre-release or patched build
        0x00040004,  # VOS_NT_WINDOWS32
        0x1,  # VFT_APP
        0, 0, 0)  # subtype, date


def build(description: dict, without: set, without_translation: bool) -> bytes:
    language = int(str(description["language"]), 0)
    codepage = int(description["codepage"])
    block = f"{language:04X}{codepage:04X}"
    strings = [node(key, text_value(value), text=True)
               for key, value in description["strings"].items() if key not in without]
    children = [node("StringFileInfo", text=True, children=[node(block, text=True, children=strings)])]
    if not without_translation:
        translation = node("Translation", struct.pack("<HH", language, codepage))
        children.append(node("VarFileInfo", text=True, children=[translation]))
    return node("VS_VERSION_INFO", fixed_file_info(description), children=children)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("description")
    parser.add_argument("output")
    parser.add_argument("--without", action="append", default=[], metavar="KEY")
    parser.add_argument("--without-translation", action="store_true")
    args = parser.parse_args()
    with open(args.description, encoding="utf-8") as f:
        description = json.load(f)
    data = build(description, set(args.without), args.without_translation)
    with open(args.output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
