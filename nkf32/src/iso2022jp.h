// ISO-2022-JP, the seven-bit form of the engine's EUC-JP: ESC $ B for the two-byte set (JIS X
// 0208 with NEC row 13 and user-defined rows 85-94), ESC ( I for half-width katakana, and
// ESC $ ( D (JIS X 0212, as ISO-2022-JP-1 names it) for the three-byte set, which is where the
// IBM extensions and the rest of the user-defined area live. Plain ISO-2022-JP text only ever
// needs the first two.
#pragma once

#include "codec.h"
#include "eucjp.h"
#include "tables.h"

namespace nkf {

inline constexpr unsigned char kEsc = 0x1B;
inline constexpr unsigned char kSo = 0x0E;  // shift to half-width katakana
inline constexpr unsigned char kSi = 0x0F;  // and back

// A byte that leaves ASCII in ISO-2022-JP.
inline bool IsJisShift(unsigned b) {
  return b == kEsc || (b | 1u) == kSi;
}

// True when one of the eight ASCII bytes of w is ESC, SO or SI.
inline bool HasJisShift(std::uint64_t w) {
  return HasZeroByte(w ^ (kLowBits * kEsc)) || HasZeroByte((w | kLowBits) ^ (kLowBits * kSi));
}

enum class JisSet : unsigned char { kAscii, kKanji, kKana, kX0212 };

inline bool IsJisByte(unsigned b) {
  return b - 0x21u <= 0x7Eu - 0x21u;
}

// Yields Unicode characters, or (kToSjis) Shift_JIS codes directly.
template <bool kToSjis>
struct JisDecoderT {
  static constexpr CodeSet kYields = kToSjis ? CodeSet::kShiftJis : CodeSet::kUnicode;
  static constexpr bool kAsciiRuns = true;
  static constexpr bool kThreeByteRuns = false;
  static constexpr bool kTwoByteRuns = false;
  static constexpr bool kHasEscapes = true;
  JisSet set = JisSet::kAscii;
  bool shifted = false;  // between SO and SI

  // Kanji come first in Next already; a separate loop for them measured slower to Shift_JIS, and
  // the packed UTF-8 stores of that loop need output after every character, which escapes do
  // not give.
  template <bool kUtf8 = false>
  bool NextTwoByte(const unsigned char*&, std::uint32_t&) const {
    return false;
  }

  bool InAscii() const { return set == JisSet::kAscii && !shifted; }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = *p;
    const std::ptrdiff_t left = end - p;
    // Kanji first: in the two-byte sets they are nearly every byte.
    if ((set == JisSet::kKanji || set == JisSet::kX0212) && !shifted && IsJisByte(b)) {
      if (left >= 2 && IsJisByte(p[1])) {
        const std::size_t cell = (b - 0x21u) * 94 + (p[1] - 0x21u);
        std::uint32_t c;
        if (set == JisSet::kKanji) {
          c = kToSjis ? tables::kEucG1ToSjis[cell] : tables::kEucG1Decode[cell];
        } else {
          c = kToSjis ? tables::kEucG3ToSjis[cell] : tables::kEucG3Decode[cell];
        }
        p += 2;
        return c != 0 ? c : kInvalid;
      }
      ++p;
      return kInvalid;
    }
    if (b == kEsc) {
      if (left >= 3 && p[1] == '(' && (p[2] == 'B' || p[2] == 'J' || p[2] == 'I')) {
        // JIS X 0201 Roman is read as ASCII: its two differences (yen sign, overline) are
        // the bytes that files labelled so actually mean as backslash and tilde.
        set = p[2] == 'I' ? JisSet::kKana : JisSet::kAscii;
        p += 3;
        return kNothing;
      }
      if (left >= 3 && p[1] == '$' && (p[2] == 'B' || p[2] == '@')) {
        set = JisSet::kKanji;
        p += 3;
        return kNothing;
      }
      if (left >= 4 && p[1] == '$' && p[2] == '(') {
        // The long forms of the two-byte designations.
        if (p[3] == 'D' || p[3] == 'B' || p[3] == '@') {
          set = p[3] == 'D' ? JisSet::kX0212 : JisSet::kKanji;
          p += 4;
          return kNothing;
        }
      }
      if (left >= 3 && p[1] == '&' && p[2] == '@') {
        p += 3;  // announces the 1990 edition of JIS X 0208; the ESC $ B that follows counts
        return kNothing;
      }
      ++p;  // an escape we do not know: the ESC is invalid, what follows is read afresh
      return kInvalid;
    }
    if (b == kSo || b == kSi) {
      shifted = b == kSo;
      ++p;
      return kNothing;
    }
    ++p;
    // Controls, space and DEL mean themselves in every set: line ends stay line ends even
    // when a writer forgot to return to ASCII.
    if (b <= 0x20 || b == 0x7F) {
      return b;
    }
    if (b >= 0x80) {
      return kInvalid;
    }
    if (shifted || set == JisSet::kKana) {
      if (b > 0x5F) {
        return kInvalid;
      }
      return kToSjis ? b + 0x80 : 0xFF61u + (b - 0x21u);
    }
    return b;  // ASCII
  }
};

using JisDecoder = JisDecoderT<false>;
using JisToSjisDecoder = JisDecoderT<true>;

struct JisEncoder {
  static constexpr CodeSet kTakes = CodeSet::kEucJp;
  static constexpr bool kHasModes = true;
  JisSet set = JisSet::kAscii;

  unsigned char* Switch(JisSet to, unsigned char* o) {
    if (set == to) {
      return o;
    }
    set = to;
    o[0] = kEsc;
    switch (to) {
      case JisSet::kAscii:
        o[1] = '(';
        o[2] = 'B';
        return o + 3;
      case JisSet::kKana:
        o[1] = '(';
        o[2] = 'I';
        return o + 3;
      case JisSet::kKanji:
        o[1] = '$';
        o[2] = 'B';
        return o + 3;
      case JisSet::kX0212:
        break;
    }
    o[1] = '$';
    o[2] = '(';
    o[3] = 'D';
    return o + 4;
  }

  unsigned char* BeginAscii(unsigned char* o) { return Switch(JisSet::kAscii, o); }
  unsigned char* Finish(unsigned char* o) { return Switch(JisSet::kAscii, o); }

  // An EUC-JP code in the engine's form (see tables.h), ASCII, or kInvalid.
  unsigned char* PutCode(std::uint32_t v, unsigned char* o) {
    // ESC, SO and SI are this code's own shifts: written as data they would change how the rest
    // of the text is read, so they are characters it cannot hold.
    if (v < 0x80 && !IsJisShift(v)) {
      o = Switch(JisSet::kAscii, o);
      *o = static_cast<unsigned char>(v);
      return o + 1;
    }
    if (v < 0x80 || v == kInvalid) {
      v = tables::kEucGeta;
    }
    if (v < 0x100) {
      o = Switch(JisSet::kKana, o);
      *o = static_cast<unsigned char>(v - 0x80);
      return o + 1;
    }
    o = Switch((v & 0xFF) >= 0xA1 ? JisSet::kKanji : JisSet::kX0212, o);
    o[0] = static_cast<unsigned char>((v >> 8) & 0x7F);
    o[1] = static_cast<unsigned char>(v & 0x7F);
    return o + 2;
  }

  static constexpr bool kTakesPacked = false;
  unsigned char* PutPacked(std::uint32_t, unsigned char* o) { return o; }
  static constexpr bool kThreeByteTable = false;
  unsigned char* PutThreeByte(std::uint32_t, unsigned char*) { return nullptr; }
  unsigned char* PutBmp(std::uint32_t c, unsigned char* o) { return Put(c, o); }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if (c < 0x80) {
      return PutCode(c, o);
    }
    const unsigned v = tables::EucEncode(c);
    return PutCode(v != 0 ? v : kInvalid, o);
  }
};

}  // namespace nkf
