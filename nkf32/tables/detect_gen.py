#!/usr/bin/env python3
"""Writes detect_tables.inc, the statistics of Japanese text that the code detector scores with.

    python3 nkf32/tables/detect_gen.py > nkf32/tables/detect_tables.inc

The model: a text's cost in bits is the sum, over its characters, of
    -log2 P(class of c | class of the character before)   (the class bigram)
    -log2 P(c | class of c)                                (the character's frequency)
counted on the training part of detect_corpus.py. The detector decodes the input as each
candidate code and keeps the code whose reading costs least, so a reading that turns real
text into rare kanji in odd orders loses against the one that gives common kana and kanji.

Half-width katakana are nearly absent from the corpus but common in Shift_JIS files, so every
seventh training document is counted a second time with its katakana and kana punctuation
made half-width: the model then knows how half-width kana follow each other (a bigram of
the 63 half-width kana), and that they are less likely than full-width ones. The kana
bigram matters most where Shift_JIS half-width kana and EUC-JP kanji share their bytes.

Costs are stored in eighths of a bit, 1 to 254; 255 marks a two-byte code that code page 932
does not define. Classes are numbered as Class in detect_model.h; unicode_class() below is
the same function as ClassOfCodePoint there.
"""

import collections
import math
import subprocess
import sys
import unicodedata

import detect_corpus

START, A_ALNUM, A_SPACE, A_PUNCT, HIRA, KATA, HWKANA, KANJI = range(8)
FW_PUNCT, FW_ALNUM, GREEK_CYR, NEC_SYM, SYMBOL, OTHER = range(8, 14)
CLASS_COUNT = 14
CLASS_NAMES = ["start", "ascii alnum", "ascii space", "ascii punct", "hiragana", "katakana",
               "half-width kana", "kanji", "full-width punct", "full-width alnum",
               "greek/cyrillic", "nec symbol", "symbol", "other"]

SCALE = 8  # units per bit
INVALID = 255
# Cost of a character outside code page 932 that training never saw (UTF-8 only).
UNSEEN_OTHER_BITS = 20.0
BLOCK_BITS = 7  # the Unicode table is split into blocks of 128 code points


def unicode_class(cp):
    if cp < 0x80:
        c = chr(cp)
        if c.isalnum():
            return A_ALNUM
        if c in " \t\r\n\f\v":
            return A_SPACE
        return A_PUNCT
    if 0x3041 <= cp <= 0x309F:
        return HIRA
    if 0x30A1 <= cp <= 0x30FA or 0x30FC <= cp <= 0x30FF:
        return KATA
    if 0xFF61 <= cp <= 0xFF9F:
        return HWKANA
    if 0x4E00 <= cp <= 0x9FFF or 0x3400 <= cp <= 0x4DBF or 0xF900 <= cp <= 0xFAFF:
        return KANJI
    if 0x3005 <= cp <= 0x3007:
        return KANJI
    if 0x3000 <= cp <= 0x303F or cp == 0x30FB:
        return FW_PUNCT
    if 0xFF10 <= cp <= 0xFF19 or 0xFF21 <= cp <= 0xFF3A or 0xFF41 <= cp <= 0xFF5A:
        return FW_ALNUM
    if 0xFF01 <= cp <= 0xFF60 or 0xFFE0 <= cp <= 0xFFE5:
        return FW_PUNCT
    if 0x0391 <= cp <= 0x03C9 or 0x0401 <= cp <= 0x0451:
        return GREEK_CYR
    if (0x2460 <= cp <= 0x24FF or 0x2160 <= cp <= 0x217F or 0x3200 <= cp <= 0x33FF
            or cp in (0x2116, 0x2121)):
        return NEC_SYM
    if 0x00A0 <= cp <= 0x00FF or 0x2000 <= cp <= 0x2BFF or 0x0300 <= cp <= 0x036F:
        return SYMBOL
    return OTHER


# --- the character sets -----------------------------------------------------------------------

def sjis_pair_index(lead, trail):
    li = lead - 0x81 if lead <= 0x9F else lead - 0xE0 + 31
    ti = trail - 0x40 if trail <= 0x7E else trail - 0x41
    return li * 188 + ti


SJIS_PAIRS = 60 * 188
HW_BASE = SJIS_PAIRS  # half-width kana A1..DF follow the pairs
SJIS_ENTRIES = SJIS_PAIRS + 63


def sjis_space():
    """For each index of the Shift_JIS table, the character code page 932 gives it, or None."""
    chars = [None] * SJIS_ENTRIES
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            try:
                c = bytes([lead, trail]).decode("cp932")
            except UnicodeDecodeError:
                continue
            if len(c) == 1:
                chars[sjis_pair_index(lead, trail)] = c
    for b in range(0xA1, 0xE0):
        chars[HW_BASE + b - 0xA1] = bytes([b]).decode("cp932")
    return chars


# --- half-width variant -----------------------------------------------------------------------

def half_width_map():
    m = {}
    for cp in range(0xFF61, 0xFFA0):
        h = chr(cp)
        m[unicodedata.normalize("NFKC", h)] = h
    voiced = {"\u3099": "\uff9e", "\u309a": "\uff9f"}
    for cp in range(0x30A1, 0x30FF):
        k = chr(cp)
        if k in m:
            continue
        d = unicodedata.normalize("NFD", k)
        if len(d) == 2 and d[0] in m and d[1] in voiced:
            m[k] = m[d[0]] + voiced[d[1]]
    return m


HALF = half_width_map()


def to_half_width(text):
    return "".join(HALF.get(c, c) for c in text)


# --- counting ---------------------------------------------------------------------------------

def count(docs):
    chars = collections.Counter()
    bigrams = collections.Counter()
    half_pairs = collections.Counter()
    for doc_id, text in docs:
        variants = [text]
        if detect_corpus.fnv1a32(doc_id) % 7 == 3:
            variants.append(to_half_width(text))
        for t in variants:
            prev = A_SPACE  # a text starts as a line does
            prev_char = None
            for c in t:
                cls = unicode_class(ord(c))
                bigrams[prev, cls] += 1
                if ord(c) >= 0x80:
                    chars[c] += 1
                if cls == HWKANA and prev == HWKANA:
                    half_pairs[prev_char, c] += 1
                prev = cls
                prev_char = c
    return chars, bigrams, half_pairs


def bits_to_units(bits):
    return max(1, min(254, int(round(bits * SCALE))))


def main():
    docs = detect_corpus.part("train")
    chars, bigrams, half_pairs = count(docs)

    sjis_chars = sjis_space()
    # Every character the table can hold or the corpus shows, by class, for smoothing.
    universe = set(c for c in sjis_chars if c is not None) | set(chars)
    by_class = collections.defaultdict(list)
    for c in sorted(universe):
        by_class[unicode_class(ord(c))].append(c)
    alpha = 0.5
    char_bits = {}
    for cls, members in by_class.items():
        total = sum(chars[c] for c in members) + alpha * len(members)
        for c in members:
            char_bits[c] = -math.log2((chars[c] + alpha) / total)

    class_bits = [[0.0] * CLASS_COUNT for _ in range(CLASS_COUNT)]
    for a in range(CLASS_COUNT):
        row_total = sum(bigrams[a, b] for b in range(CLASS_COUNT)) + 0.5 * CLASS_COUNT
        for b in range(CLASS_COUNT):
            class_bits[a][b] = -math.log2((bigrams[a, b] + 0.5) / row_total)

    sjis_cost = []
    sjis_class = []
    for c in sjis_chars:
        if c is None:
            sjis_cost.append(INVALID)
            sjis_class.append(OTHER)
        else:
            sjis_cost.append(bits_to_units(char_bits[c]))
            sjis_class.append(unicode_class(ord(c)))

    # Half-width kana after half-width kana: -log2 P(c | the kana before), backed off to
    # P(c | half-width kana) so that pairs the corpus lacks stay possible.
    half = [bytes([b]).decode("cp932") for b in range(0xA1, 0xE0)]
    backoff = 4.0
    half_pair_cost = []
    for a in half:
        row_total = sum(half_pairs[a, b] for b in half)
        for b in half:
            p_uni = 2.0 ** -char_bits[b]
            p = (half_pairs[a, b] + backoff * p_uni) / (row_total + backoff)
            half_pair_cost.append(bits_to_units(-math.log2(p)))

    # Unicode table for UTF-8 readings: blocks of the BMP where some cost differs from the
    # default; block 0 of the map means "every code point costs the default".
    default_units = bits_to_units(UNSEEN_OTHER_BITS)
    block_size = 1 << BLOCK_BITS
    blocks = [[default_units] * block_size]
    block_map = [0] * (0x10000 >> BLOCK_BITS)
    for b in range(0x80 >> BLOCK_BITS, 0x10000 >> BLOCK_BITS):
        costs = []
        for cp in range(b << BLOCK_BITS, (b + 1) << BLOCK_BITS):
            c = chr(cp)
            costs.append(bits_to_units(char_bits[c]) if c in char_bits else default_units)
        if costs != blocks[0]:
            block_map[b] = len(blocks)
            blocks.append(costs)
    assert len(blocks) < 256

    versions = subprocess.run(
        ["dpkg-query", "-W", "-f", "${Package} ${Version}\n", "manpages-ja",
         "debian-reference-ja"], capture_output=True, text=True).stdout.split("\n")
    out = sys.stdout
    out.write("// Generated by nkf32/tables/detect_gen.py; do not edit.\n")
    out.write("// Source: the training part of nkf32/tables/detect_corpus.py, %d documents, "
              "%d non-ASCII characters\n" % (len(docs), sum(chars.values())))
    out.write("// (Japanese message catalogues in %s; %s).\n"
              % (detect_corpus.MO_DIR, "; ".join(v for v in versions if v)))
    out.write("#pragma once\n\n#include <cstdint>\n\nnamespace nkf::detect_tables {\n\n")
    out.write("inline constexpr int kScale = %d;  // units per bit\n" % SCALE)
    out.write("inline constexpr std::uint8_t kInvalid = %d;\n" % INVALID)
    out.write("inline constexpr int kSjisPairs = %d;\n" % SJIS_PAIRS)
    out.write("inline constexpr int kBlockBits = %d;\n\n" % BLOCK_BITS)

    def array(name, ctype, values, per_line=24):
        out.write("inline constexpr %s %s[%d] = {\n" % (ctype, name, len(values)))
        for i in range(0, len(values), per_line):
            out.write("    " + ",".join(str(v) for v in values[i:i + per_line]) + ",\n")
        out.write("};\n\n")

    out.write("// -log2 P(class | class before), rows: the class before.\n")
    out.write("// Classes: %s.\n" % ", ".join(CLASS_NAMES))
    array("kClassCost", "std::uint8_t",
          [bits_to_units(class_bits[a][b]) for a in range(CLASS_COUNT)
           for b in range(CLASS_COUNT)], CLASS_COUNT)
    out.write("// Shift_JIS two-byte codes, index (lead row) * 188 + trail, then the half-width\n"
              "// kana A1..DF: -log2 P(character | its class), and its class.\n")
    array("kSjisCost", "std::uint8_t", sjis_cost)
    array("kSjisClass", "std::uint8_t", sjis_class, 48)
    out.write("// Half-width kana A1..DF after half-width kana A1..DF: -log2 P(kana | kana before),\n"
              "// in place of the character's own cost.\n")
    array("kHalfKanaPairCost", "std::uint8_t", half_pair_cost, 63)
    out.write("// UTF-8 readings: block of each 128 code points of the BMP, and the blocks.\n")
    array("kUnicodeBlockOf", "std::uint8_t", block_map, 32)
    array("kUnicodeCost", "std::uint8_t", [v for blk in blocks for v in blk])
    out.write("}  // namespace nkf::detect_tables\n")


if __name__ == "__main__":
    main()
