// EUC-JP with the code page 932 extensions where EUC-JP-MS puts them: NEC row 13 in row 13 of
// the two-byte set, the IBM extensions in the three-byte set (0x8F), the user-defined area in
// rows 85-94 of both.
#pragma once

#include <algorithm>

#include "codec.h"
#include "tables.h"

namespace nkf {

inline bool IsEucByte(unsigned b) {
  return b - 0xA1u <= 0xFEu - 0xA1u;
}

// Yields Unicode characters, or (kToSjis) Shift_JIS codes directly, the GETA MARK for a
// character code page 932 lacks.
template <bool kToSjis>
struct EucDecoderT {
  static constexpr CodeSet kYields = kToSjis ? CodeSet::kShiftJis : CodeSet::kUnicode;
  static constexpr bool kAsciiRuns = true;
  static constexpr bool kThreeByteRuns = false;
  static constexpr bool kTwoByteRuns = true;
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return true; }

  // As SjisDecoderT::NextTwoByte, for the two-byte set.
  template <bool kUtf8 = false>
  bool NextTwoByte(const unsigned char*& p, std::uint32_t& c) const {
    const unsigned first = p[0] - 0xA1u;
    const unsigned second = p[1] - 0xA1u;
    if (std::max(first, second) > 0xFEu - 0xA1u) {
      return false;
    }
    const std::size_t cell = first * 94 + second;
    if constexpr (kUtf8) {
      c = tables::kEucG1DecodeUtf8[cell];
    } else {
      c = kToSjis ? tables::kEucG1ToSjis[cell] : tables::kEucG1Decode[cell];
    }
    if (c == 0) {
      return false;
    }
    p += 2;
    return true;
  }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = *p;
    const std::ptrdiff_t left = end - p;
    if (b < 0x80) {
      ++p;
      return b;
    }
    if (IsEucByte(b)) {
      if (left >= 2 && IsEucByte(p[1])) {
        const auto& table = kToSjis ? tables::kEucG1ToSjis : tables::kEucG1Decode;
        const std::uint32_t c = table[(b - 0xA1u) * 94 + (p[1] - 0xA1u)];
        p += 2;
        return c != 0 ? c : kInvalid;
      }
    } else if (b == 0x8E) {
      if (left >= 2 && p[1] - 0xA1u <= 0xDFu - 0xA1u) {
        const std::uint32_t c = kToSjis ? p[1] : 0xFF61u + (p[1] - 0xA1u);
        p += 2;
        return c;
      }
    } else if (b == 0x8F) {
      if (left >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
        const auto& table = kToSjis ? tables::kEucG3ToSjis : tables::kEucG3Decode;
        const std::uint32_t c = table[(p[1] - 0xA1u) * 94 + (p[2] - 0xA1u)];
        p += 3;
        return c != 0 ? c : kInvalid;
      }
    }
    ++p;
    return kInvalid;
  }
};

using EucDecoder = EucDecoderT<false>;
using EucToSjisDecoder = EucDecoderT<true>;

struct EucEncoder {
  static constexpr CodeSet kTakes = CodeSet::kEucJp;
  static constexpr bool kHasModes = false;
  unsigned char* BeginAscii(unsigned char* o) { return o; }
  unsigned char* Finish(unsigned char* o) { return o; }

  // An EUC-JP code in the engine's form (see tables.h), ASCII, or kInvalid.
  unsigned char* PutCode(std::uint32_t v, unsigned char* o) {
    if (v < 0x80) {
      *o = static_cast<unsigned char>(v);
      return o + 1;
    }
    if (v == kInvalid) {
      v = tables::kEucGeta;
    }
    if (v < 0x100) {
      o[0] = 0x8E;
      o[1] = static_cast<unsigned char>(v);
      return o + 2;
    }
    if ((v & 0xFF) >= 0xA1) {
      o[0] = static_cast<unsigned char>(v >> 8);
      o[1] = static_cast<unsigned char>(v);
      return o + 2;
    }
    o[0] = 0x8F;
    o[1] = static_cast<unsigned char>(v >> 8);
    o[2] = static_cast<unsigned char>(v | 0x80);
    return o + 3;
  }

  // A character U+0800-U+FFFF.
  unsigned char* PutBmp(std::uint32_t c, unsigned char* o) {
    const unsigned v = tables::kEucEncode[tables::kEucEncodePage[c >> 8] * 256u + (c & 0xFF)];
    return PutCode(v != 0 ? v : kInvalid, o);
  }

  // As SjisEncoder::PutThreeByte.
  static constexpr bool kTakesPacked = false;
  unsigned char* PutPacked(std::uint32_t, unsigned char* o) { return o; }
  static constexpr bool kThreeByteTable = true;
  unsigned char* PutThreeByte(std::uint32_t w, unsigned char* o) {
    const unsigned v = tables::EucFromThreeByte(w);
    if (v < 0x100 || (v & 0xFF) < 0xA1) [[unlikely]] {
      // No code, half-width katakana or the three-byte set.
      return v == 0 ? nullptr : PutCode(v, o);
    }
    o[0] = static_cast<unsigned char>(v >> 8);
    o[1] = static_cast<unsigned char>(v);
    return o + 2;
  }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if (c < 0x80) {
      *o = static_cast<unsigned char>(c);
      return o + 1;
    }
    const unsigned v = tables::EucEncode(c);
    return PutCode(v != 0 ? v : kInvalid, o);
  }
};

}  // namespace nkf
