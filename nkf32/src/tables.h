// The mapping tables (generated, see nkf32/tables/make_tables.py) and their lookups.
#pragma once

#include <array>
#include <cstdint>

namespace nkf::tables {

// kSjisDecode: the character of a two-byte Shift_JIS code, 0 where there is none. Rows are the
// 60 lead bytes 0x81-0x9F, 0xE0-0xFC; columns the trail bytes 0x40-0xFC (0x7F included, always
// 0). kEucG1Decode, kEucG3Decode: the character of the EUC-JP two-byte set (0xA1-0xFE twice)
// and of the three-byte set after 0x8F, 94 x 94, 0 where there is none.
//
// k*EncodePage / k*Encode: the code of a BMP character in two levels, page = high byte. Page 0
// of k*Encode is empty; characters below U+0080 are never looked up. Shift_JIS values: 0 none,
// 0xA1-0xDF one byte (half-width katakana), else the two-byte code. EUC-JP values: 0 none,
// 0xA1-0xDF half-width katakana (0x8E, value), 0xXXYY with YY >= 0xA1 the two-byte code XX YY,
// with YY < 0x80 the three-byte code 0x8F XX (YY | 0x80).
#include "../tables/tables.inc"

// UTF-8 of the characters of a decoding table, packed for a four-byte store: the bytes from
// the lowest, the length in the top byte; 0 where the table has none. Every two-byte code's
// character is U+0080 or above, so two or three bytes.
template <std::size_t kSize>
constexpr std::array<std::uint32_t, kSize> PackUtf8(const std::uint16_t (&decode)[kSize]) {
  std::array<std::uint32_t, kSize> packed{};
  for (std::size_t i = 0; i < kSize; ++i) {
    const std::uint32_t c = decode[i];
    if (c == 0) {
      packed[i] = 0;
    } else if (c < 0x800) {
      packed[i] = (0xC0 | c >> 6) | (0x80 | (c & 0x3F)) << 8 | 2u << 24;
    } else {
      packed[i] =
          (0xE0 | c >> 12) | (0x80 | ((c >> 6) & 0x3F)) << 8 | (0x80 | (c & 0x3F)) << 16 | 3u << 24;
    }
  }
  return packed;
}
inline constexpr auto kSjisDecodeUtf8 = PackUtf8(kSjisDecode);
inline constexpr auto kEucG1DecodeUtf8 = PackUtf8(kEucG1Decode);

inline constexpr std::uint16_t kSjisGeta = 0x81AC;  // U+3013 GETA MARK in each code
inline constexpr std::uint16_t kEucGeta = 0xA2AE;

// Row of kSjisDecode for a lead byte, or 0xFF when the byte does not lead a two-byte code.
inline constexpr std::array<std::uint8_t, 256> kSjisLeadRow = [] {
  std::array<std::uint8_t, 256> rows{};
  for (int b = 0; b < 256; ++b) {
    rows[b] = 0xFF;
  }
  for (int b = 0x81; b <= 0x9F; ++b) {
    rows[b] = static_cast<std::uint8_t>(b - 0x81);
  }
  for (int b = 0xE0; b <= 0xFC; ++b) {
    rows[b] = static_cast<std::uint8_t>(b - 0xE0 + 31);
  }
  return rows;
}();

inline constexpr int kSjisTrails = 0xFC - 0x40 + 1;

// For three-byte UTF-8 straight from its bytes: the offset in k*Encode of the 64 characters
// that share a lead byte and a second byte, indexed by their low bits as they lie in the
// bytes, (second & 0x3F) << 8 | (lead & 0x0F), so that one mask makes the index. Overlong forms
// and surrogates point to the empty page, like characters without a code. 32 KiB each, of
// which 64 cache lines are ever read.
template <const std::uint8_t* kPage>
constexpr std::array<std::uint16_t, 0x4000> MakeThreeByteRows() {
  std::array<std::uint16_t, 0x4000> rows{};
  for (unsigned lead = 0; lead < 16; ++lead) {
    for (unsigned second = 0; second < 64; ++second) {
      const unsigned c = lead << 12 | second << 6;
      const bool valid = c >= 0x800 && (c < 0xD800 || c >= 0xE000);
      rows[second << 8 | lead] =
          static_cast<std::uint16_t>(valid ? kPage[c >> 8] * 256u + (c & 0xC0) : 0);
    }
  }
  return rows;
}
inline constexpr std::array<std::uint16_t, 0x4000> kSjisThreeByteRows =
    MakeThreeByteRows<kSjisEncodePage>();
inline constexpr std::array<std::uint16_t, 0x4000> kEucThreeByteRows =
    MakeThreeByteRows<kEucEncodePage>();

// The code of the character of a well-formed-looking three-byte UTF-8 sequence (w holds its bytes
// from the lowest), 0 when it has none or the sequence is overlong or a surrogate.
inline unsigned SjisFromThreeByte(std::uint32_t w) {
  return kSjisEncode[kSjisThreeByteRows[w & 0x3F0Fu] + (w >> 16 & 0x3Fu)];
}
inline unsigned EucFromThreeByte(std::uint32_t w) {
  return kEucEncode[kEucThreeByteRows[w & 0x3F0Fu] + (w >> 16 & 0x3Fu)];
}

// Both return 0 (no code) for characters beyond the BMP.
inline std::uint16_t SjisEncode(std::uint32_t c) {
  if (c > 0xFFFF) {
    return 0;
  }
  return kSjisEncode[kSjisEncodePage[c >> 8] * 256u + (c & 0xFF)];
}
inline std::uint16_t EucEncode(std::uint32_t c) {
  if (c > 0xFFFF) {
    return 0;
  }
  return kEucEncode[kEucEncodePage[c >> 8] * 256u + (c & 0xFF)];
}

}  // namespace nkf::tables
