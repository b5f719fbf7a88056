"""Japanese text from Debian packages, split into a training part and a held-out part.

The detector's statistics are made from the training part (detect_gen.py); the accuracy
benchmark (bench/detect/make_samples.py) cuts its samples from the held-out part only, so the
figures it prints are never measured on text the statistics were made from.

Sources, each file one document:
  mo/<name>    message translations in /usr/share/locale/ja/LC_MESSAGES/*.mo (many packages)
  man/<path>   manual pages of manpages-ja, /usr/share/man/ja/man*/*.gz
  ref/<name>   the chapters of debian-reference-ja, /usr/share/debian-reference/*.ja.html

A document's part follows from the FNV-1a hash of its name modulo 5: 0 held out, 1 dev (for
choosing the detector's few constants), the rest training. The split does not depend on the
order in which files are found nor on which other files exist.
"""

import glob
import gzip
import html
import os
import re
import struct

MO_DIR = "/usr/share/locale/ja/LC_MESSAGES"
MAN_DIR = "/usr/share/man/ja"
REF_DIR = "/usr/share/debian-reference"


def fnv1a32(text):
    h = 0x811C9DC5
    for b in text.encode("utf-8"):
        h ^= b
        h = (h * 0x01000193) & 0xFFFFFFFF
    return h


PARTS = ("heldout", "dev", "train", "train", "train")


def part_of(doc_id):
    return PARTS[fnv1a32(doc_id) % 5]


def _read_mo(path):
    data = open(path, "rb").read()
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, orig_off, trans_off = struct.unpack(order + "4I", data[4:20])
    texts = []
    for i in range(count):
        olen, _ = struct.unpack(order + "2I", data[orig_off + 8 * i : orig_off + 8 * i + 8])
        tlen, toff = struct.unpack(order + "2I", data[trans_off + 8 * i : trans_off + 8 * i + 8])
        if olen == 0:
            continue  # the catalogue's header, not a message
        raw = data[toff : toff + tlen]
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            continue
        texts.extend(t for t in text.split("\0") if t)
    return "\n".join(texts)


_ROFF_ESCAPE = re.compile(r"\\(f\[[^\]]*\]|f\(..|f.|s[-+]?\d+|\(..|\*\(..|\*.|[-e&|^ ~0c%])")
_ROFF_TEXT_MACROS = {"SH", "SS", "B", "I", "BI", "IB", "BR", "RB", "IR", "RI", "TP", "IP", "SM"}


def _read_man(path):
    try:
        text = gzip.open(path, "rb").read().decode("utf-8")
    except (UnicodeDecodeError, OSError, EOFError):
        return ""
    lines = []
    for line in text.split("\n"):
        if line.startswith((".", "'")):
            parts = line[1:].split(None, 1)
            if not parts or parts[0] not in _ROFF_TEXT_MACROS or len(parts) < 2:
                continue
            line = parts[1].replace('"', "")
        line = _ROFF_ESCAPE.sub("", line).replace("\\", "")
        lines.append(line)
    return "\n".join(lines)


_TAG = re.compile(r"<[^>]*>")


def _read_ref(path):
    text = open(path, "rb").read().decode("utf-8", errors="replace")
    text = re.sub(r"(?s)<(script|style)\b.*?</\1>", "", text)
    text = html.unescape(_TAG.sub("", text))
    lines = [line.strip() for line in text.split("\n")]
    return "\n".join(line for line in lines if line)


def documents():
    """Every document as (doc_id, text), sorted by doc_id."""
    docs = []
    for path in glob.glob(os.path.join(MO_DIR, "*.mo")):
        docs.append(("mo/" + os.path.basename(path)[:-3], path, _read_mo))
    for path in glob.glob(os.path.join(MAN_DIR, "man*", "*.gz")):
        docs.append(("man/" + os.path.relpath(path, MAN_DIR), path, _read_man))
    for path in glob.glob(os.path.join(REF_DIR, "*.ja.html")):
        docs.append(("ref/" + os.path.basename(path), path, _read_ref))
    docs.sort()
    for doc_id, path, reader in docs:
        text = reader(path)
        if text:
            yield doc_id, text


def part(name):
    """The documents of one part ("train", "dev" or "heldout") as (doc_id, text)."""
    return [(d, t) for d, t in documents() if part_of(d) == name]
