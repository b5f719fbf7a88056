// UTF-8 (strict), and UTF-16 in either byte order for input only.
#pragma once

#include "codec.h"

namespace nkf {

inline bool IsContinuation(unsigned b) {
  return (b & 0xC0u) == 0x80u;
}

struct Utf8Decoder {
  static constexpr CodeSet kYields = CodeSet::kUnicode;
  static constexpr bool kThreeByteRuns = true;
  static constexpr bool kTwoByteRuns = false;
  template <bool kUtf8 = false>
  bool NextTwoByte(const unsigned char*&, std::uint32_t&) const {
    return false;
  }
  static constexpr bool kAsciiRuns = true;
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return true; }

  // Japanese text is mostly three-byte sequences: one test for the well-formed ones, which are
  // the characters U+0800-U+FFFF without the surrogates.
  // Reads four bytes, so it needs them readable at p.
  static bool NextThreeByte(const unsigned char*& p, std::uint32_t& c) {
    const std::uint32_t w = LoadLittle4(p);  // byte i of the text in bits 8i..8i+7
    if ((w & 0xC0C0F0u) != 0x8080E0u) {
      return false;
    }
    c = (w & 0x0Fu) << 12 | (w & 0x3F00u) >> 2 | (w & 0x3F0000u) >> 16;
    if (c < 0x800 || c - 0xD800u < 0x800u) {
      return false;  // overlong, or a surrogate
    }
    p += 3;
    return true;
  }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const unsigned b = p[0];
    const std::ptrdiff_t left = end - p;
    if (b < 0xC2) {  // a continuation byte, or the overlong leads C0, C1
      ++p;
      return b < 0x80 ? b : kInvalid;
    }
    if (b < 0xE0) {
      if (left >= 2 && IsContinuation(p[1])) {
        const std::uint32_t c = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        p += 2;
        return c;
      }
      ++p;
      return kInvalid;
    }
    // The second byte's range excludes overlong forms, surrogates and values above U+10FFFF.
    unsigned lo = 0x80, hi = 0xBF;
    if (b == 0xE0) {
      lo = 0xA0;
    } else if (b == 0xED) {
      hi = 0x9F;
    } else if (b == 0xF0) {
      lo = 0x90;
    } else if (b == 0xF4) {
      hi = 0x8F;
    } else if (b > 0xF4) {
      ++p;
      return kInvalid;
    }
    if (left < 2 || p[1] < lo || p[1] > hi) {
      ++p;
      return kInvalid;
    }
    if (left < 3 || !IsContinuation(p[2])) {
      p += 2;
      return kInvalid;
    }
    if (b < 0xF0) {
      const std::uint32_t c = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      p += 3;
      return c;
    }
    if (left < 4 || !IsContinuation(p[3])) {
      p += 3;
      return kInvalid;
    }
    const std::uint32_t c =
        (b & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
    p += 4;
    return c;
  }
};

struct Utf8Encoder {
  static constexpr CodeSet kTakes = CodeSet::kUnicode;
  static constexpr bool kHasModes = false;
  unsigned char* BeginAscii(unsigned char* o) { return o; }
  unsigned char* Finish(unsigned char* o) { return o; }

  static constexpr bool kThreeByteTable = false;
  unsigned char* PutThreeByte(std::uint32_t, unsigned char*) { return nullptr; }

  // A character as tables::PackUtf8 holds it. One four-byte store: the one or two bytes after
  // the character are changed too, which the caller lets it do only where later output will
  // cover them.
  static constexpr bool kTakesPacked = true;
  unsigned char* PutPacked(std::uint32_t v, unsigned char* o) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(o, &v, 4);
    } else {
      o[0] = static_cast<unsigned char>(v);
      o[1] = static_cast<unsigned char>(v >> 8);
      o[2] = static_cast<unsigned char>(v >> 16);
      o[3] = static_cast<unsigned char>(v >> 24);
    }
    return o + (v >> 24);
  }

  unsigned char* PutBmp(std::uint32_t c, unsigned char* o) {
    o[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    o[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return o + 3;
  }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if (c < 0x80) {
      *o = static_cast<unsigned char>(c);
      return o + 1;
    }
    if (c < 0x800) {
      o[0] = static_cast<unsigned char>(0xC0 | c >> 6);
      o[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      return o + 2;
    }
    if (c == kInvalid) {
      c = 0xFFFD;
    }
    if (c < 0x10000) {
      o[0] = static_cast<unsigned char>(0xE0 | c >> 12);
      o[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      o[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      return o + 3;
    }
    o[0] = static_cast<unsigned char>(0xF0 | c >> 18);
    o[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    o[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    o[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return o + 4;
  }
};

template <bool kBigEndian>
struct Utf16Decoder {
  static constexpr CodeSet kYields = CodeSet::kUnicode;
  static constexpr bool kThreeByteRuns = false;
  static constexpr bool kTwoByteRuns = false;
  template <bool kUtf8 = false>
  bool NextTwoByte(const unsigned char*&, std::uint32_t&) const {
    return false;
  }
  static constexpr bool kAsciiRuns = false;  // its bytes are not characters
  static constexpr bool kHasEscapes = false;
  bool InAscii() const { return false; }

  static unsigned Unit(const unsigned char* p) {
    return kBigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
  }

  std::uint32_t Next(const unsigned char*& p, const unsigned char* end) {
    const std::ptrdiff_t left = end - p;
    if (left < 2) {
      ++p;  // half a unit at the end
      return kInvalid;
    }
    const unsigned u = Unit(p);
    p += 2;
    if (u - 0xD800u >= 0x800u) {
      return u;
    }
    if (u < 0xDC00 && left >= 4) {
      const unsigned low = Unit(p);
      if (low - 0xDC00u < 0x400u) {
        p += 2;
        return 0x10000u + ((u - 0xD800u) << 10) + (low - 0xDC00u);
      }
    }
    return kInvalid;  // a lone surrogate; what follows is read afresh
  }
};

}  // namespace nkf
