// Shift_JIS as Windows writes it: code page 932.
#pragma once

#include "codec.h"
#include "tables.h"

namespace nkf {

struct SjisDecoder {
  static constexpr bool kAsciiRuns = true;  // bytes below 0x80 are always ASCII
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return true; }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = *p;
    if (b < 0x80) {
      ++p;
      return b;
    }
    // Half-width katakana: one byte each.
    if (b - 0xA1u <= 0xDFu - 0xA1u) {
      ++p;
      return 0xFF61u + (b - 0xA1u);
    }
    const unsigned row = tables::kSjisLeadRow[b];
    if (row != 0xFF && end - p >= 2) {
      const unsigned t = p[1];
      if (t - 0x40u <= 0xFCu - 0x40u) {
        const std::uint32_t c = tables::kSjisDecode[row * tables::kSjisTrails + (t - 0x40u)];
        if (c != 0) {
          p += 2;
          return c;
        }
        if (t >= 0x80) {
          p += 2;  // an unassigned code: both bytes are gone
          return kInvalid;
        }
      }
    }
    ++p;  // 0x80, 0xA0, 0xFD-0xFF, or a lead without its trail
    return kInvalid;
  }
};

struct SjisEncoder {
  static constexpr bool kHasModes = false;
  unsigned char* BeginAscii(unsigned char* o) { return o; }
  unsigned char* Finish(unsigned char* o) { return o; }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if (c < 0x80) {
      *o = static_cast<unsigned char>(c);
      return o + 1;
    }
    unsigned v = tables::SjisEncode(c);  // kInvalid is beyond the BMP: no code
    if (v == 0) {
      v = tables::kSjisGeta;
    }
    if (v < 0x100) {
      *o = static_cast<unsigned char>(v);
      return o + 1;
    }
    o[0] = static_cast<unsigned char>(v >> 8);
    o[1] = static_cast<unsigned char>(v);
    return o + 2;
  }
};

}  // namespace nkf
