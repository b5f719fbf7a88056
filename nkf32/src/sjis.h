// Shift_JIS as Windows writes it: code page 932.
#pragma once

#include "codec.h"
#include "tables.h"

namespace nkf {

// Yields Unicode characters, or (kToEuc) the engine's EUC-JP codes directly: every code page
// 932 character has one, so the transform is exact and costs one table look-up.
template <bool kToEuc>
struct SjisDecoderT {
  static constexpr CodeSet kYields = kToEuc ? CodeSet::kEucJp : CodeSet::kUnicode;
  static constexpr bool kAsciiRuns = true;  // bytes below 0x80 are always ASCII
  static constexpr bool kThreeByteRuns = false;
  static constexpr bool kTwoByteRuns = true;
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return true; }

  // A two-byte code with a character, for runs of them in a tight loop (two bytes readable at
  // p); false, p unchanged, for anything else. Utf8 gives the character as packed UTF-8 (see
  // tables::PackUtf8), for UTF-8 output.
  template <bool kUtf8 = false>
  bool NextTwoByte(const unsigned char*& p, std::uint32_t& c) const {
    const unsigned row = tables::kSjisLeadRow[p[0]];
    const unsigned t = p[1] - 0x40u;
    if (row == 0xFF || t > 0xFCu - 0x40u) {
      return false;
    }
    const std::size_t cell = row * tables::kSjisTrails + t;
    if constexpr (kUtf8) {
      c = tables::kSjisDecodeUtf8[cell];
    } else {
      c = kToEuc ? tables::kSjisToEuc[cell] : tables::kSjisDecode[cell];
    }
    if (c == 0) {
      return false;
    }
    p += 2;
    return true;
  }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = *p;
    if (b < 0x80) {
      ++p;
      return b;
    }
    // Half-width katakana: one byte each, the same byte in the EUC-JP code.
    if (b - 0xA1u <= 0xDFu - 0xA1u) {
      ++p;
      return kToEuc ? b : 0xFF61u + (b - 0xA1u);
    }
    const unsigned row = tables::kSjisLeadRow[b];
    if (row != 0xFF && end - p >= 2) {
      const unsigned t = p[1];
      if (t - 0x40u <= 0xFCu - 0x40u) {
        const auto& table = kToEuc ? tables::kSjisToEuc : tables::kSjisDecode;
        const std::uint32_t c = table[row * tables::kSjisTrails + (t - 0x40u)];
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

using SjisDecoder = SjisDecoderT<false>;
using SjisToEucDecoder = SjisDecoderT<true>;

struct SjisEncoder {
  static constexpr CodeSet kTakes = CodeSet::kShiftJis;
  static constexpr bool kHasModes = false;
  unsigned char* BeginAscii(unsigned char* o) { return o; }
  unsigned char* Finish(unsigned char* o) { return o; }

  // A Shift_JIS code: ASCII, a half-width katakana byte or a two-byte code; kInvalid.
  unsigned char* PutCode(std::uint32_t v, unsigned char* o) {
    if (v < 0x100) {
      *o = static_cast<unsigned char>(v);
      return o + 1;
    }
    if (v == kInvalid) {
      v = tables::kSjisGeta;
    }
    o[0] = static_cast<unsigned char>(v >> 8);
    o[1] = static_cast<unsigned char>(v);
    return o + 2;
  }

  // A three-byte UTF-8 sequence, its bytes in w from the lowest, looked up without decoding
  // it; null when the table has no code for it (no character, or not well-formed), for the
  // caller to take the long way.
  static constexpr bool kTakesPacked = false;
  unsigned char* PutPacked(std::uint32_t, unsigned char* o) { return o; }
  static constexpr bool kThreeByteTable = true;
  unsigned char* PutThreeByte(std::uint32_t w, unsigned char* o) {
    const unsigned v = tables::SjisFromThreeByte(w);
    if (v < 0x100) [[unlikely]] {
      if (v == 0) {
        return nullptr;
      }
      *o = static_cast<unsigned char>(v);  // half-width katakana
      return o + 1;
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
    const unsigned v = tables::SjisEncode(c);  // kInvalid is beyond the BMP: no code
    return PutCode(v != 0 ? v : kInvalid, o);
  }
};

}  // namespace nkf
