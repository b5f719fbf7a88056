// Helpers shared by the codec tests: conversion through the C interface with its capacity
// contract checked on every call, glibc's iconv as an independent oracle, output checks.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nkf32.h"

namespace codec_test {

inline constexpr unsigned char kGuard = 0xA5;
inline constexpr std::size_t kGuardSize = 16;

// Converts through NkfConvertBounded and checks its contract: the size asked for with no
// buffer, a buffer one byte short (fails, reports the size, writes nothing past its end), an
// exactly sized buffer, each with guard bytes behind it, and a larger one whose bytes past the
// output stay as they were.
inline std::string Convert(const char* options, std::string_view in) {
  EXPECT_EQ(SetNkfOption(options), 0) << options;
  std::size_t needed = 12345;
  const int probe = NkfConvertBounded(nullptr, 0, &needed, in.data(), in.size());
  EXPECT_EQ(probe, needed == 0 ? 0 : -1);
  const auto run = [&](std::size_t capacity, int expected_result) {
    std::vector<unsigned char> buffer(capacity + kGuardSize, kGuard);
    std::size_t written = 0;
    const int result = NkfConvertBounded(reinterpret_cast<char*>(buffer.data()), capacity, &written,
                                         in.data(), in.size());
    EXPECT_EQ(result, expected_result) << "capacity " << capacity;
    EXPECT_EQ(written, needed) << "capacity " << capacity;
    for (std::size_t i = capacity; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], kGuard) << "written past capacity " << capacity << " at " << i;
    }
    return std::string(reinterpret_cast<const char*>(buffer.data()), std::min(written, capacity));
  };
  if (needed > 0) {
    const std::string partial = run(needed - 1, -1);
    const std::string whole = run(needed, 0);
    std::vector<unsigned char> roomy(needed + kGuardSize, kGuard);
    std::size_t written = 0;
    EXPECT_EQ(NkfConvertBounded(reinterpret_cast<char*>(roomy.data()), roomy.size(), &written,
                                in.data(), in.size()),
              0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(roomy.data()), needed), whole);
    for (std::size_t i = needed; i < roomy.size(); ++i) {
      EXPECT_EQ(roomy[i], kGuard) << "written past the output at " << i;
    }
    // What a short buffer holds is the beginning of the output.
    EXPECT_EQ(partial, whole.substr(0, partial.size()));
    return whole;
  }
  return run(0, 0);
}

// glibc's conversion of in, or nothing when it refuses some byte of it.
inline std::optional<std::string> Iconv(const char* from, const char* to, std::string_view in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv lacks " << from << " -> " << to;
    return std::nullopt;
  }
  std::string out(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  const std::size_t flushed = iconv(cd, nullptr, nullptr, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || flushed == static_cast<std::size_t>(-1) ||
      src_left != 0) {
    return std::nullopt;
  }
  out.resize(out.size() - dst_left);
  return out;
}

inline bool IsValidUtf8(std::string_view text) {
  return Iconv("UTF-8", "UTF-32LE", text).has_value();
}

// True when ISO-2022-JP output ends in ASCII and is in ASCII at every line end.
inline bool JisBackInAsciiAtLineEnds(std::string_view jis) {
  bool ascii = true;
  for (std::size_t i = 0; i < jis.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(jis[i]);
    if (b == 0x1B && i + 2 < jis.size()) {
      ascii = jis[i + 1] == '(' && jis[i + 2] == 'B';
    } else if ((b == '\r' || b == '\n') && !ascii) {
      return false;
    }
  }
  return ascii;
}

inline std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

inline std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (const char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
    s += ' ';
  }
  return s;
}

// Every character of code page 932: the half-width katakana, then every two-byte code that
// decodes (through iconv, independently of the engine's tables).
inline std::vector<std::string> Cp932Characters() {
  std::vector<std::string> chars;
  for (int b = 0xA1; b <= 0xDF; ++b) {
    chars.push_back(std::string(1, static_cast<char>(b)));
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead < 0xE0) {
      continue;
    }
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      if (trail != 0x7F && Iconv("CP932", "UTF-8", code)) {
        chars.push_back(code);
      }
    }
  }
  return chars;
}

}  // namespace codec_test
