// Fuzzes the component's conversion under every option string: the input's first byte picks
// the option string, the rest is the text. Every buffer is sized exactly, so the address
// sanitizer sees a write one byte past what the component was offered. Checked on every input:
//   - the two-call protocol: capacity 0, then one byte short of the reported need, both fail
//     and report the same need; the need itself succeeds, also without a length pointer; a
//     larger buffer is not written past the reported length;
//   - NkfConvert, given exactly 8 * strlen(in) + 1 bytes, writes what NkfConvertBounded writes
//     for the text before the first zero byte;
//   - the output is well formed in its code: valid UTF-8 (no overlong forms, no surrogates,
//     nothing above U+10FFFF); Shift_JIS and EUC-JP made of whole characters; JIS seven-bit,
//     made of the encoder's own escape sequences, and in ASCII before every line end and at
//     the end;
//   - pure ASCII passes through unchanged;
//   - without an input letter, the output is what naming the detected code gives (the
//     detecting conversion copies the ASCII start itself and detects and converts the rest).
// A failed check prints what failed and aborts, so libFuzzer keeps the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "detect.h"
#include "nkf32.h"

namespace {

constexpr char kInputLetters[] = {'\0', 'S', 'J', 'E', 'W'};   // '\0': detect
constexpr char kOutputLetters[] = {'\0', 's', 'j', 'e', 'w'};  // '\0': the default, Shift_JIS
constexpr size_t kOptionCount = sizeof kInputLetters * sizeof kOutputLetters;

struct Options {
  char input;   // '\0': detect
  char output;  // never '\0': the default is Shift_JIS
  char text[3];
};

Options MakeOptions(char input, char output) {
  Options o{input, output == '\0' ? 's' : output, {}};
  size_t n = 0;
  if (input != '\0') {
    o.text[n++] = input;
  }
  if (output != '\0') {
    o.text[n++] = output;
  }
  o.text[n] = '\0';
  return o;
}

Options PickOptions(uint8_t selector) {
  const size_t i = selector % kOptionCount;
  return MakeOptions(kInputLetters[i / sizeof kOutputLetters],
                     kOutputLetters[i % sizeof kOutputLetters]);
}

[[noreturn]] void Fail(const Options& o, const char* what, size_t detail = 0) {
  std::fprintf(stderr, "fuzz_convert: options \"%s\": %s (%zu)\n", o.text, what, detail);
  std::abort();
}

// A heap block of exactly n bytes: the sanitizer's red zone starts right after it.
std::unique_ptr<char[]> Exact(size_t n) {
  return std::unique_ptr<char[]>(new char[n]);
}

void SetOptions(const Options& o, const char* text) {
  if (SetNkfOption(text) != 0) {
    Fail(o, "SetNkfOption refused a valid option string");
  }
}

// Converts by the two-call protocol and checks the component's answers on the way.
std::string Convert(const Options& o, const char* in, size_t n) {
  SetOptions(o, o.text);
  size_t need = SIZE_MAX;
  int rc = NkfConvertBounded(nullptr, 0, &need, in, n);
  if (rc == 0) {
    if (need != 0) {
      Fail(o, "capacity 0 succeeded with a non-empty output", need);
    }
    return std::string();
  }
  if (rc != -1 || need == 0 || need == SIZE_MAX) {
    Fail(o, "capacity 0 neither succeeded nor reported a need", need);
  }

  {
    auto short_by_one = Exact(need - 1);
    size_t reported = SIZE_MAX;
    rc = NkfConvertBounded(short_by_one.get(), need - 1, &reported, in, n);
    if (rc != -1 || reported != need) {
      Fail(o, "one byte short of the need did not fail with the same need", reported);
    }
  }

  auto exact = Exact(need);
  size_t written = SIZE_MAX;
  rc = NkfConvertBounded(exact.get(), need, &written, in, n);
  if (rc != 0 || written != need) {
    Fail(o, "the reported need did not suffice", written);
  }
  std::string output(exact.get(), need);

  // More room than needed: the bytes past the output stay as they were.
  constexpr size_t kSpare = 16;
  auto roomy = Exact(need + kSpare);
  std::memset(roomy.get(), 0x5A, need + kSpare);
  rc = NkfConvertBounded(roomy.get(), need + kSpare, &written, in, n);
  if (rc != 0 || written != need || std::memcmp(roomy.get(), output.data(), need) != 0) {
    Fail(o, "a larger buffer gave another output", written);
  }
  for (size_t i = need; i < need + kSpare; ++i) {
    if (roomy[i] != 0x5A) {
      Fail(o, "written past the reported length", i);
    }
  }

  // The length is optional: without it the conversion still fits and writes the same bytes.
  auto unreported = Exact(need);
  if (NkfConvertBounded(unreported.get(), need, nullptr, in, n) != 0 ||
      std::memcmp(unreported.get(), output.data(), need) != 0) {
    Fail(o, "a conversion without a length pointer gave another output");
  }
  return output;
}

// NkfConvert promises its output fits 8 * strlen(in) + 1 bytes and stops at the first zero.
void CheckZeroTerminated(const Options& o, const char* in, size_t n, const std::string& bounded) {
  const size_t text_len = strnlen(in, n);
  auto text = Exact(text_len + 1);
  std::memcpy(text.get(), in, text_len);
  text[text_len] = '\0';
  const std::string expected = text_len == n ? bounded : Convert(o, text.get(), text_len);
  const size_t capacity = 8 * text_len + 1;
  auto out = Exact(capacity);
  SetOptions(o, o.text);
  NkfConvert(out.get(), text.get());
  const size_t out_len = strnlen(out.get(), capacity);
  if (out_len == capacity) {
    Fail(o, "NkfConvert left its output unterminated");
  }
  if (std::string_view(out.get(), out_len) != expected) {
    Fail(o, "NkfConvert and NkfConvertBounded disagree", out_len);
  }
}

bool ValidUtf8(std::string_view s, size_t* where) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    size_t len;
    unsigned lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      lo = c == 0xE0 ? 0xA0 : 0x80;  // overlong
      hi = c == 0xED ? 0x9F : 0xBF;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      lo = c == 0xF0 ? 0x90 : 0x80;  // overlong
      hi = c == 0xF4 ? 0x8F : 0xBF;  // above U+10FFFF
    } else {
      *where = i;
      return false;
    }
    if (i + len > n || p[i + 1] < lo || p[i + 1] > hi) {
      *where = i;
      return false;
    }
    for (size_t k = 2; k < len; ++k) {
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) {
        *where = i;
        return false;
      }
    }
    i += len;
  }
  return true;
}

bool ValidShiftJis(std::string_view s, size_t* where) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) {
    const unsigned c = p[i];
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
      ++i;
    } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (i + 1 >= s.size() || p[i + 1] < 0x40 || p[i + 1] == 0x7F || p[i + 1] > 0xFC) {
        *where = i;
        return false;
      }
      i += 2;
    } else {
      *where = i;
      return false;
    }
  }
  return true;
}

bool ValidEucJp(std::string_view s, size_t* where) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto high = [&](size_t i) { return i < s.size() && p[i] >= 0xA1 && p[i] <= 0xFE; };
  for (size_t i = 0; i < s.size();) {
    const unsigned c = p[i];
    if (c < 0x80) {
      ++i;
    } else if (c == 0x8E && i + 1 < s.size() && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
      i += 2;
    } else if (c == 0x8F && high(i + 1) && high(i + 2)) {
      i += 3;
    } else if (high(i) && high(i + 1)) {
      i += 2;
    } else {
      *where = i;
      return false;
    }
  }
  return true;
}

// The encoder writes ESC $ B (JIS X 0208), ESC ( I (half-width katakana), ESC $ ( D (JIS X 0212,
// for the characters of code page 932 that JIS X 0208 lacks) and ESC ( B (ASCII), and nothing
// else; a line end or the end of the text is reached in ASCII.
bool ValidJis(std::string_view s, size_t* where) {
  enum { kAscii, kKanji, kKana } state = kAscii;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    *where = i;
    if (c == 0x1B) {
      const std::string_view seq = s.substr(i + 1, 3);
      if (seq.starts_with("$(D")) {
        state = kKanji;  // two bytes a character, as in JIS X 0208
        i += 4;
        continue;
      }
      if (seq.starts_with("$B")) {
        state = kKanji;
      } else if (seq.starts_with("(I")) {
        state = kKana;
      } else if (seq.starts_with("(B")) {
        state = kAscii;
      } else {
        return false;
      }
      i += 3;
    } else if (c >= 0x80 || c == 0x0E || c == 0x0F) {
      return false;
    } else if (state == kAscii) {
      ++i;
    } else if (c == '\n' || c == '\r') {
      return false;
    } else if (state == kKana) {
      if (c < 0x21 || c > 0x5F) {
        return false;
      }
      ++i;
    } else {
      if (i + 1 >= s.size() || c < 0x21 || c > 0x7E || s[i + 1] < 0x21 || s[i + 1] > 0x7E) {
        return false;
      }
      i += 2;
    }
  }
  *where = s.size();
  return state == kAscii;
}

// The letter naming a detected code; none for UTF-16, which has no letter.
char InputLetter(nkf::Code code) {
  switch (code) {
    case nkf::Code::kShiftJis:
      return 'S';
    case nkf::Code::kJis:
      return 'J';
    case nkf::Code::kEucJp:
      return 'E';
    case nkf::Code::kUtf8:
      return 'W';
    default:
      return '\0';
  }
}

// Bytes that mean something to the JIS decoder even though they are ASCII.
bool IsJisControl(unsigned char c) {
  return c == 0x1B || c == 0x0E || c == 0x0F;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const Options o = PickOptions(data[0]);
  const size_t n = size - 1;
  auto in = Exact(n);
  std::memcpy(in.get(), data + 1, n);

  const std::string out = Convert(o, in.get(), n);
  CheckZeroTerminated(o, in.get(), n, out);

  size_t where = 0;
  switch (o.output) {
    case 'w':
      if (!ValidUtf8(out, &where)) {
        Fail(o, "invalid UTF-8 at output byte", where);
      }
      break;
    case 's':
      if (!ValidShiftJis(out, &where)) {
        Fail(o, "broken Shift_JIS at output byte", where);
      }
      break;
    case 'e':
      if (!ValidEucJp(out, &where)) {
        Fail(o, "broken EUC-JP at output byte", where);
      }
      break;
    case 'j': {
      // A text that itself holds ESC, SO or SI has those bytes written as they are, and then
      // the escape sequences of the output cannot be told from the text's. The same input
      // decoded to UTF-8 shows whether the text holds any.
      const Options as_utf8 = MakeOptions(o.input, 'w');
      const std::string text = Convert(as_utf8, in.get(), n);
      bool plain = true;
      for (char c : text) {
        plain = plain && !IsJisControl(static_cast<unsigned char>(c));
      }
      if (plain && !ValidJis(out, &where)) {
        Fail(o, "broken ISO-2022-JP or not back in ASCII at output byte", where);
      }
      break;
    }
  }

  if (o.input == '\0') {
    const char letter =
        InputLetter(nkf::DetectCode(reinterpret_cast<const unsigned char*>(in.get()), n));
    if (letter != '\0' && Convert(MakeOptions(letter, o.output), in.get(), n) != out) {
      Fail(o, "detecting and naming the detected code gave different outputs", out.size());
    }
  }

  bool ascii = true;
  for (size_t i = 0; i < n && ascii; ++i) {
    const auto c = static_cast<unsigned char>(in[i]);
    ascii = c < 0x80 && !IsJisControl(c);
  }
  if (ascii && std::string_view(in.get(), n) != out) {
    Fail(o, "pure ASCII did not pass through unchanged", out.size());
  }
  return 0;
}
