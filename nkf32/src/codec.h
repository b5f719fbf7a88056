// What every decoder and encoder of the engine shares.
//
// A decoder turns the bytes at p into one character and advances p; it reads up to end (the
// end of the whole input) but is only started below the current chunk's limit. It returns the
// character, kInvalid for a byte sequence the code does not allow, or kNothing for bytes that
// only change its state (the escape sequences of ISO-2022-JP).
//
// Resynchronisation, the same in every legacy code: a lead byte whose following bytes do not
// complete a sequence of the code's ranges is one invalid character and only the lead is
// consumed, so the next byte (often ASCII, a line end or a new lead) is read afresh. A complete
// sequence in the code's ranges that has no character is one invalid character for all its
// bytes, except in Shift_JIS where an ASCII trail byte is given back (0x81 0x20 reads as
// invalid, then a space). UTF-8 replaces each maximal subpart of an ill-formed sequence once,
// as the Unicode standard recommends (and as Python's decoder does).
//
// An encoder writes one character at o (Put) or one code of its code set (PutCode) and returns
// the new end; kInvalid becomes U+FFFD in
// UTF-8 and the GETA MARK elsewhere, as does a character the target code lacks. No character
// makes an encoder write more than kMaxPerChar bytes, and no character of one input byte more
// than kMaxPerByte, which bounds every conversion's output (see convert.cpp).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace nkf {

// What a decoder yields and an encoder's PutCode takes: Unicode characters, or for the exact
// transforms between the legacy codes the target's own codes (ASCII below 0x80 in all).
enum class CodeSet { kUnicode, kShiftJis, kEucJp };

inline constexpr std::uint32_t kInvalid = 0xFFFFFFFF;
inline constexpr std::uint32_t kNothing = 0xFFFFFFFE;
inline constexpr std::uint32_t kBom = 0xFEFF;

// ISO-2022-JP's largest: ESC $ ( D and two bytes. A character read from one byte gets at most
// an escape of three and two bytes (GETA MARK in JIS X 0208 after ASCII).
inline constexpr std::size_t kMaxPerChar = 6;
inline constexpr std::size_t kMaxPerByte = 5;

inline std::uint64_t Load8(const unsigned char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// Four bytes as a number whose lowest byte is p[0], whatever the machine's byte order.
inline std::uint32_t LoadLittle4(const unsigned char* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
  } else {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }
}

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
inline constexpr std::uint64_t kLowBits = 0x0101010101010101ull;

// True when some byte of w is zero (exact for words whose bytes are all below 0x80).
inline bool HasZeroByte(std::uint64_t w) {
  return ((w - kLowBits) & ~w & kHighBits) != 0;
}

}  // namespace nkf
