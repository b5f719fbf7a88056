// EUC-JP with the code page 932 extensions where EUC-JP-MS puts them: NEC row 13 in row 13 of
// the two-byte set, the IBM extensions in the three-byte set (0x8F), the user-defined area in
// rows 85-94 of both.
#pragma once

#include "codec.h"
#include "tables.h"

namespace nkf {

inline bool IsEucByte(unsigned b) {
  return b - 0xA1u <= 0xFEu - 0xA1u;
}

// The character of an EUC-JP-MS code held in the engine's 16-bit form (see tables.h), written
// as EUC-JP bytes.
inline unsigned char* PutEucValue(unsigned v, unsigned char* o) {
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

struct EucDecoder {
  static constexpr bool kAsciiRuns = true;
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return true; }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = *p;
    const std::ptrdiff_t left = end - p;
    if (b < 0x80) {
      ++p;
      return b;
    }
    if (IsEucByte(b)) {
      if (left >= 2 && IsEucByte(p[1])) {
        const std::uint32_t c = tables::kEucG1Decode[(b - 0xA1u) * 94 + (p[1] - 0xA1u)];
        p += 2;
        return c != 0 ? c : kInvalid;
      }
    } else if (b == 0x8E) {
      if (left >= 2 && p[1] - 0xA1u <= 0xDFu - 0xA1u) {
        const std::uint32_t c = 0xFF61u + (p[1] - 0xA1u);
        p += 2;
        return c;
      }
    } else if (b == 0x8F) {
      if (left >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
        const std::uint32_t c = tables::kEucG3Decode[(p[1] - 0xA1u) * 94 + (p[2] - 0xA1u)];
        p += 3;
        return c != 0 ? c : kInvalid;
      }
    }
    ++p;
    return kInvalid;
  }
};

struct EucEncoder {
  static constexpr bool kHasModes = false;
  unsigned char* BeginAscii(unsigned char* o) { return o; }
  unsigned char* Finish(unsigned char* o) { return o; }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if (c < 0x80) {
      *o = static_cast<unsigned char>(c);
      return o + 1;
    }
    unsigned v = tables::EucEncode(c);
    if (v == 0) {
      v = tables::kEucGeta;
    }
    return PutEucValue(v, o);
  }
};

}  // namespace nkf
