#!/usr/bin/python3
"""Writes tables.inc, the engine's mapping tables, from the C library's charmaps.

    /usr/bin/python3 nkf32/tables/make_tables.py > nkf32/tables/tables.inc

Source data: /usr/share/i18n/charmaps/WINDOWS-31J.gz and EUC-JP-MS.gz from Debian's `locales`
package (read from 2.36-9+deb12u14). The build never runs this script; the output is committed.
The script stops on a malformed line, a code outside its code's ranges, or a mapping that breaks
one of the rules below, so a changed source cannot slip into the tables unnoticed.

Choices made against, or beyond, the source:

* Decoding follows the charmaps unchanged. WINDOWS-31J decodes as Windows does (0x8160 is
  U+FF5E, 0x8161 U+2225, 0x817C U+FF0D, 0x8191 U+FFE0, 0x8192 U+FFE1, 0x81CA U+FFE2), and
  EUC-JP-MS decodes the same JIS X 0208 cells to the same characters, so a text reads the same
  whichever of the two codes it arrives in.
* Encoding to Shift_JIS: where code page 932 has one character at several codes, Windows writes
  one of them. The preference, checked here against the charmap's reversible entries, is
    JIS X 0208 (rows 1-12, 14-84)  >  NEC row 13 (0x87)  >  IBM extensions (0xFA-0xFC)
                                   >  NEC-selected IBM extensions (0xED-0xEE).
  So the NEC row 13 copies of row 2 symbols (0x8790 and the like) are written as row 2, the IBM
  copies of NEC row 13 (Roman numerals 0xFA4A-, U+2116, U+2121, U+3231, U+2235) as row 13 or
  row 2, and the NEC-selected kanji and small Roman numerals as their IBM codes.
* Both Unicode forms of the six characters that code page 932 and JIS map differently encode to
  the same code in every output: U+301C/U+FF5E, U+2016/U+2225, U+2212/U+FF0D, U+00A2/U+FFE0,
  U+00A3/U+FFE1, U+00AC/U+FFE2. The charmaps give only the second form; the first is added
  for encoding only, so decoding stays as Windows does it.
* EUC-JP (and JIS, which is EUC-JP in seven bits) carry every code page 932 character where
  EUC-JP-MS puts it: JIS X 0208 and NEC row 13 in the two-byte set (row 13 = 0xAD), the IBM
  extensions in the three-byte set 0x8F (at their JIS X 0212 cells, or rows 83-84 where JIS X
  0212 lacks them), the user-defined area U+E000-U+E3AB in two-byte rows 85-94 and
  U+E3AC-U+E757 in three-byte rows 85-94. The script checks that every character decoded from
  code page 932 has an EUC-JP code.
* EUC-JP-MS also lists the C1 controls 0x80-0x9F as single bytes. The engine reads them as
  invalid bytes instead: text files do not carry C1 controls, code page 932 has no place for
  them, and a stray byte there nearly always means a damaged or mislabelled file.
"""

import gzip
import re
import sys

CHARMAPS = "/usr/share/i18n/charmaps/"
LINE = re.compile(r"^(%IRREVERSIBLE%)?<U([0-9A-F]{4,6})>\s+((?:/x[0-9a-f]{2})+)\s")

# Characters that code page 932 and JIS map differently: (form only used for encoding, form of
# the charmaps).
SECOND_FORMS = [(0x301C, 0xFF5E), (0x2016, 0x2225), (0x2212, 0xFF0D), (0x00A2, 0xFFE0),
                (0x00A3, 0xFFE1), (0x00AC, 0xFFE2)]


SJIS_GETA = 0x81AC  # U+3013 GETA MARK, for a character code page 932 lacks


def fail(message):
    sys.exit("make_tables.py: " + message)


def read_charmap(name):
    """Returns [(unicode, bytes, reversible)] of the CHARMAP section."""
    entries = []
    inside = False
    with gzip.open(CHARMAPS + name + ".gz", "rt", encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            if line.startswith("CHARMAP"):
                inside = True
                continue
            if line.startswith("END CHARMAP"):
                break
            if not inside or not line.strip() or line.startswith("%") and "<U" not in line:
                continue
            m = LINE.match(line)
            if not m:
                fail(f"{name}:{number}: malformed line: {line.rstrip()}")
            code = bytes(int(x, 16) for x in m.group(3).split("/x")[1:])
            entries.append((int(m.group(2), 16), code, m.group(1) is None))
    if not entries:
        fail(f"{name}: no CHARMAP section")
    return entries


def sjis_class(code):
    """The rank of a Shift_JIS code in Windows' preference among duplicates (lower wins)."""
    lead = code[0]
    if lead == 0x87:
        return 1  # NEC row 13
    if 0xFA <= lead <= 0xFC:
        return 2  # IBM extensions
    if 0xED <= lead <= 0xEE:
        return 3  # NEC-selected IBM extensions
    return 0  # JIS X 0208 (and the user-defined area, which has no duplicates)


def sjis_tables():
    decode = {}  # two-byte code -> unicode
    codes_of = {}  # unicode -> [two-byte codes]
    reversible = {}
    for u, code, rev in read_charmap("WINDOWS-31J"):
        if len(code) == 1:
            b = code[0]
            if b < 0x80:
                if u != b:
                    fail(f"WINDOWS-31J: byte {b:#x} is not ASCII")
            elif 0xA1 <= b <= 0xDF:
                if u != 0xFF61 + b - 0xA1:
                    fail(f"WINDOWS-31J: byte {b:#x} is not half-width katakana")
            else:
                fail(f"WINDOWS-31J: unexpected single byte {b:#x}")
            continue
        if len(code) != 2:
            fail(f"WINDOWS-31J: code {code.hex()} is not two bytes")
        lead, trail = code
        if not (0x81 <= lead <= 0x9F or 0xE0 <= lead <= 0xFC) or not (
                0x40 <= trail <= 0xFC and trail != 0x7F):
            fail(f"WINDOWS-31J: code {code.hex()} outside Shift_JIS")
        if u > 0xFFFF or u == 0:
            fail(f"WINDOWS-31J: U+{u:04X} outside the tables")
        c = lead << 8 | trail
        if c in decode:
            fail(f"WINDOWS-31J: code {c:#x} twice")
        decode[c] = u
        codes_of.setdefault(u, []).append(c)
        if rev:
            if u in reversible:
                fail(f"WINDOWS-31J: U+{u:04X} reversible twice")
            reversible[u] = c
    encode = {}
    for u, codes in codes_of.items():
        best = min(codes, key=lambda c: (sjis_class(c.to_bytes(2, "big")), c))
        if reversible.get(u) != best:
            fail(f"WINDOWS-31J: U+{u:04X}: preference gives {best:#x}, charmap {reversible.get(u)}")
        encode[u] = best
    for extra, form in SECOND_FORMS:
        if extra in encode:
            fail(f"WINDOWS-31J: U+{extra:04X} already encodable")
        encode[extra] = encode[form]
    for b in range(0xA1, 0xE0):
        encode[0xFF61 + b - 0xA1] = b
    return decode, encode


def euc_tables():
    g1 = {}  # (row, cell) -> unicode, rows and cells 1..94
    g3 = {}
    encode = {}  # unicode -> value in the engine's EUC-JP encoding (see tables.h)
    for u, code, rev in read_charmap("EUC-JP-MS"):
        if len(code) == 1:
            if 0x80 <= code[0] <= 0x9F and u == code[0]:
                continue  # C1 controls: read as invalid bytes, see above
            if code[0] >= 0x80 or u != code[0]:
                fail(f"EUC-JP-MS: unexpected single byte {code.hex()}")
            continue
        if u > 0xFFFF or u == 0:
            fail(f"EUC-JP-MS: U+{u:04X} outside the tables")
        if len(code) == 2 and code[0] == 0x8E:
            if not 0xA1 <= code[1] <= 0xDF or u != 0xFF61 + code[1] - 0xA1:
                fail(f"EUC-JP-MS: {code.hex()} is not half-width katakana")
            value, plane, rc = code[1], None, None
        elif len(code) == 2:
            plane, rc, value = g1, (code[0] - 0xA0, code[1] - 0xA0), code[0] << 8 | code[1]
        elif len(code) == 3 and code[0] == 0x8F:
            plane, rc = g3, (code[1] - 0xA0, code[2] - 0xA0)
            value = code[1] << 8 | (code[2] & 0x7F)
        else:
            fail(f"EUC-JP-MS: code {code.hex()} is not EUC-JP")
        if rc is not None:
            if not all(1 <= x <= 94 for x in rc):
                fail(f"EUC-JP-MS: code {code.hex()} outside 94x94")
            if rc in plane:
                fail(f"EUC-JP-MS: code {code.hex()} twice")
            plane[rc] = u
        if rev:
            if u in encode:
                fail(f"EUC-JP-MS: U+{u:04X} reversible twice")
            encode[u] = value
    for extra, form in SECOND_FORMS:
        if extra in encode:
            fail(f"EUC-JP-MS: U+{extra:04X} already encodable")
        encode[extra] = encode[form]
    return g1, g3, encode


def sjis_to_row_cell(c):
    lead, trail = c >> 8, c & 0xFF
    row = (lead - 0x81 if lead < 0xE0 else lead - 0xC1) * 2 + 1
    cell = trail - 0x40 + 1 - (trail > 0x7F)
    if cell > 94:
        row, cell = row + 1, cell - 94
    return row, cell


def check(sjis_decode, sjis_encode, g1, g3, euc_encode):
    for c, u in sjis_decode.items():
        if u not in euc_encode:
            fail(f"U+{u:04X} (Shift_JIS {c:#x}) has no EUC-JP code")
    # Where both codes put a character at the same JIS X 0208 cell, they must agree on it.
    for c, u in sjis_decode.items():
        row, cell = sjis_to_row_cell(c)
        if row <= 84 and (row, cell) in g1 and g1[(row, cell)] != u:
            fail(f"JIS X 0208 {row}-{cell}: Shift_JIS U+{u:04X}, EUC-JP U+{g1[(row, cell)]:04X}")
    for u, value in euc_encode.items():
        if value >= 0xA100:
            plane = g1 if value & 0xFF >= 0xA1 else g3
            rc = (value >> 8) - 0xA0, (value & 0x7F) - 0x20
            if plane.get(rc) != u and u not in dict(SECOND_FORMS):
                fail(f"EUC-JP-MS: U+{u:04X} does not come back")


def pages(encode):
    """Two-level table over the BMP: page index per high byte (0 = empty page), the pages."""
    used = sorted({u >> 8 for u in encode if u >= 0x80})
    index = [0] * 256
    body = [[0] * 256]
    for p in used:
        index[p] = len(body)
        body.append([encode.get(p << 8 | lo, 0) if (p << 8 | lo) >= 0x80 else 0
                     for lo in range(256)])
    if len(body) > 255:
        fail("too many encoding pages")
    return index, body


def emit_array(out, ctype, name, values, per_line=12, fmt="0x{:04X}"):
    out.append(f"inline constexpr {ctype} {name}[{len(values)}] = {{")
    for i in range(0, len(values), per_line):
        out.append("    " + ", ".join(fmt.format(v) for v in values[i:i + per_line]) + ",")
    out.append("};")


def main():
    sjis_decode, sjis_encode = sjis_tables()
    g1, g3, euc_encode = euc_tables()
    check(sjis_decode, sjis_encode, g1, g3, euc_encode)

    out = ["// Generated by nkf32/tables/make_tables.py from the C library's charmaps"
           " WINDOWS-31J and EUC-JP-MS; do not edit.",
           "// Layouts and value formats: nkf32/src/tables.h."]
    leads = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
    sjis = [sjis_decode.get(lead << 8 | t, 0) if t != 0x7F else 0
            for lead in leads for t in range(0x40, 0xFD)]
    emit_array(out, "std::uint16_t", "kSjisDecode", sjis)
    emit_array(out, "std::uint16_t", "kEucG1Decode",
               [g1.get((r, c), 0) for r in range(1, 95) for c in range(1, 95)])
    emit_array(out, "std::uint16_t", "kEucG3Decode",
               [g3.get((r, c), 0) for r in range(1, 95) for c in range(1, 95)])
    # Direct transforms between the legacy codes, the same as decoding and encoding again.
    emit_array(out, "std::uint16_t", "kSjisToEuc",
               [euc_encode[u] if u else 0 for u in sjis])
    for name, plane in (("G1", g1), ("G3", g3)):
        codes = [plane.get((r, c), 0) for r in range(1, 95) for c in range(1, 95)]
        emit_array(out, "std::uint16_t", f"kEuc{name}ToSjis",
                   [sjis_encode.get(u, SJIS_GETA) if u else 0 for u in codes])
    for name, table in (("Sjis", sjis_encode), ("Euc", euc_encode)):
        index, body = pages(table)
        emit_array(out, "std::uint8_t", f"k{name}EncodePage", index, 16, "{:3d}")
        emit_array(out, "std::uint16_t", f"k{name}Encode", [v for page in body for v in page])
    print("\n".join(out))


if __name__ == "__main__":
    main()
