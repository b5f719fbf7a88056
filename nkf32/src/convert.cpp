#include "convert.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ascii.h"
#include "codec.h"
#include "detect_report.h"
#include "eucjp.h"
#include "iso2022jp.h"
#include "sjis.h"
#include "utf.h"

namespace nkf {
namespace {

#if defined(__SSE2__)
// 32 bytes of 0xFF, then 32 of 0: from kRunMask + 32 - n, the first n bytes are set.
alignas(64) constexpr unsigned char kRunMask[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
#endif

// Copies ASCII from p to o up to limit, and with kShiftsLeaveAscii not ESC, SO or SI; returns
// the end of the copy. Output and input advance together, and no byte past o + (limit - p) is
// ever written, so limit may be set by the room at o.
template <bool kShiftsLeaveAscii>
unsigned char* CopyAsciiRun(const unsigned char*& p, const unsigned char* limit, unsigned char* o) {
#if defined(__SSE2__)
  [[maybe_unused]] bool long_run = false;
  // Thirty-two bytes at a time; the mask of the bytes that end the run says how far it goes.
  while (limit - p >= 32) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    // The sign bit marks a byte above 0x7F. For ISO-2022-JP a cheap test first: no byte in
    // 0x0E-0x1B (SO, SI, ESC and controls text does not use) means no shift either.
    __m128i any = _mm_or_si128(x, y);
    if constexpr (kShiftsLeaveAscii) {
      const __m128i from = _mm_set1_epi8(0x0E);
      const __m128i span = _mm_set1_epi8(0x1B - 0x0E);
      const __m128i dx = _mm_sub_epi8(x, from);
      const __m128i dy = _mm_sub_epi8(y, from);
      any = _mm_or_si128(any, _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(dx, span), dx),
                                           _mm_cmpeq_epi8(_mm_min_epu8(dy, span), dy)));
    }
    if (_mm_movemask_epi8(any) != 0) [[unlikely]] {
      __m128i x_end = x;
      __m128i y_end = y;
      if constexpr (kShiftsLeaveAscii) {
        const __m128i one = _mm_set1_epi8(1);
        const __m128i si = _mm_set1_epi8(kSi);
        const __m128i esc = _mm_set1_epi8(kEsc);
        x_end = _mm_or_si128(
            x_end, _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(x, one), si), _mm_cmpeq_epi8(x, esc)));
        y_end = _mm_or_si128(
            y_end, _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(y, one), si), _mm_cmpeq_epi8(y, esc)));
      }
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(x_end)) |
                            static_cast<unsigned>(_mm_movemask_epi8(y_end)) << 16;
      if (mask != 0) {
        // The n ASCII bytes, without a branch on n: the 32 bytes at o are stored blended with
        // what they held, so that the bytes past the run keep their values. Nothing but the
        // output is ever changed, not even past its end.
        const unsigned n = static_cast<unsigned>(__builtin_ctz(mask));
        const __m128i keep_x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRunMask + 32 - n));
        const __m128i keep_y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRunMask + 48 - n));
        const __m128i old_x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o));
        const __m128i old_y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                         _mm_or_si128(_mm_and_si128(keep_x, x), _mm_andnot_si128(keep_x, old_x)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16),
                         _mm_or_si128(_mm_and_si128(keep_y, y), _mm_andnot_si128(keep_y, old_y)));
        p += n;
        return o + n;
      }
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), x);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), y);
    p += 32;
    o += 32;
    if constexpr (kShiftsLeaveAscii) {
      // A run this long is likely longer still: hand it to the widest vectors once.
      if (!long_run) {
        long_run = true;
        const std::size_t n = CopyJisAsciiBlocks(p, static_cast<std::size_t>(limit - p), o);
        p += n;
        o += n;
      }
    }
  }
#endif
  for (;;) {
    while (limit - p >= 32) {
      const std::uint64_t a = Load8(p), b = Load8(p + 8), c = Load8(p + 16), d = Load8(p + 24);
      if constexpr (kShiftsLeaveAscii) {
        // Shift bytes are controls: look for them only in words that hold a control (or a
        // byte above 0x7F), one word at a time below.
        constexpr std::uint64_t kSpaces = kLowBits * 0x20;
        if (((a - kSpaces) | (b - kSpaces) | (c - kSpaces) | (d - kSpaces) | a | b | c | d) &
            kHighBits) {
          break;
        }
      } else if (((a | b | c | d) & kHighBits) != 0) {
        break;
      }
      std::memcpy(o, p, 32);
      p += 32;
      o += 32;
    }
    if (limit - p < 8) {
      break;
    }
    const std::uint64_t a = Load8(p);
    if ((a & kHighBits) != 0) {
      break;
    }
    if constexpr (kShiftsLeaveAscii) {
      if (HasJisShift(a)) {
        break;
      }
    }
    std::memcpy(o, p, 8);
    p += 8;
    o += 8;
  }
  while (p < limit && *p < 0x80) {
    if constexpr (kShiftsLeaveAscii) {
      if (IsJisShift(*p)) {
        break;
      }
    }
    *o++ = *p++;
  }
  return o;
}

// One decoder feeding one encoder; both keep their state from chunk to chunk.
template <class Decoder, class Encoder>
struct Pipeline {
  static_assert(Decoder::kYields == CodeSet::kUnicode || Decoder::kYields == Encoder::kTakes);
  // ISO-2022-JP's shift bytes are no ASCII characters to its decoder nor to its encoder.
  static constexpr bool kShiftsLeaveAscii = Decoder::kHasEscapes || Encoder::kHasModes;
  Decoder decoder;
  Encoder encoder;

  // Copies ASCII from p while the decoder reads it as ASCII; at least one byte, as the caller
  // checked.
  unsigned char* AsciiRun(const unsigned char*& p, const unsigned char* limit, unsigned char* o) {
    return CopyAsciiRun<kShiftsLeaveAscii>(p, limit, encoder.BeginAscii(o));
  }

  // Converts the characters that start before limit (the last may read on up to end) and
  // returns the end of their output: at most kMaxPerByte * (limit - p) + kMaxPerChar bytes.
  // Nothing but the output is ever written, not even past its end.
  unsigned char* Run(const unsigned char*& p, const unsigned char* limit, const unsigned char* end,
                     unsigned char* o) {
    while (p < limit) {
      if constexpr (Decoder::kAsciiRuns) {
        if (*p < 0x80 && decoder.InAscii()) {
          if (!kShiftsLeaveAscii || !IsJisShift(*p)) {
            o = AsciiRun(p, limit, o);
            continue;
          }
        }
      }
      if constexpr (Decoder::kTwoByteRuns) {
        // Runs of two-byte characters, most of Japanese text in the legacy codes.
        if (end - p >= 2) {
          const unsigned char* const start = p;
          const unsigned char* const stop = std::min(limit, end - 1);
          std::uint32_t c;
          if constexpr (Encoder::kTakesPacked && Decoder::kYields == CodeSet::kUnicode) {
            // PutPacked may change the two bytes after its character. At least two more input
            // bytes follow each character here, and every sequence of Shift_JIS or EUC-JP input
            // gives at least one byte of UTF-8, so later output always covers them.
            const unsigned char* const covered = end - p > 3 ? std::min(stop, end - 3) : p;
            while (p < covered && decoder.template NextTwoByte<true>(p, c)) {
              o = encoder.PutPacked(c, o);
            }
            if (p == start) {
              while (p < stop && decoder.NextTwoByte(p, c)) {
                o = Put(c, o);
              }
            }
          } else {
            while (p < stop && decoder.NextTwoByte(p, c)) {
              o = Put(c, o);
            }
          }
          if (p != start) {
            continue;
          }
        }
      }
      if constexpr (Decoder::kThreeByteRuns) {
        // Runs of well-formed three-byte UTF-8, most of Japanese text, in a tight loop.
        if (end - p >= 4) {
          const unsigned char* const start = p;
          const unsigned char* const stop = std::min(limit, end - 3);
          if constexpr (Encoder::kThreeByteTable) {
            // Straight from the bytes to the target's code.
            do {
              const std::uint32_t w = LoadLittle4(p);
              if ((w & 0xC0C0F0u) != 0x8080E0u) {
                break;
              }
              unsigned char* const next = encoder.PutThreeByte(w, o);
              if (next == nullptr) {
                break;
              }
              o = next;
              p += 3;
            } while (p < stop);
          } else {
            std::uint32_t c;
            while (p < stop && Utf8Decoder::NextThreeByte(p, c)) {
              o = encoder.PutBmp(c, o);
            }
          }
          if (p != start) {
            continue;
          }
        }
      }
      const std::uint32_t c = decoder.Next(p, end);
      if constexpr (Decoder::kHasEscapes) {
        if (c == kNothing) {
          continue;
        }
      }
      o = Put(c, o);
    }
    return o;
  }

  unsigned char* Put(std::uint32_t c, unsigned char* o) {
    if constexpr (Decoder::kYields == CodeSet::kUnicode) {
      return encoder.Put(c, o);
    } else {
      return encoder.PutCode(c, o);
    }
  }
};

// Input chunk converted through a local buffer once the caller's buffer is nearly full.
constexpr std::size_t kScratchInput = 1024;
constexpr std::size_t kScratchSize = kMaxPerByte * kScratchInput + kMaxPerChar + 8;

class Sink {
 public:
  Sink(unsigned char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  std::size_t Room() const { return written_ < capacity_ ? capacity_ - written_ : 0; }
  unsigned char* Here() const { return out_ + written_; }
  void Advance(std::size_t n) { written_ += n; }
  // Output made in a local buffer: what fits is copied, all of it is counted.
  void Append(const unsigned char* data, std::size_t n) {
    const std::size_t fit = std::min(n, Room());
    if (fit != 0) {
      std::memcpy(out_ + written_, data, fit);
    }
    written_ += n;
  }
  std::size_t Written() const { return written_; }

 private:
  unsigned char* out_;
  std::size_t capacity_;
  std::size_t written_ = 0;
};

template <class Decoder, class Encoder>
std::size_t Drive(const unsigned char* p, const unsigned char* end, unsigned char* out,
                  std::size_t capacity) {
  Pipeline<Decoder, Encoder> pipe;
  Sink sink(out, capacity);
  unsigned char scratch[kScratchSize];
  while (p < end) {
    const std::size_t room = sink.Room();
    const std::size_t fits = room > kMaxPerChar ? (room - kMaxPerChar) / kMaxPerByte : 0;
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (fits >= left || fits >= kScratchInput) {
      unsigned char* o = sink.Here();
      const unsigned char* limit = p + std::min(fits, left);
      sink.Advance(static_cast<std::size_t>(pipe.Run(p, limit, end, o) - o));
    } else {
      const unsigned char* limit = p + std::min(kScratchInput, left);
      sink.Append(scratch, static_cast<std::size_t>(pipe.Run(p, limit, end, scratch) - scratch));
    }
  }
  if constexpr (Encoder::kHasModes) {
    sink.Append(scratch, static_cast<std::size_t>(pipe.encoder.Finish(scratch) - scratch));
  }
  return sink.Written();
}

// Through Unicode, except where a legacy code goes straight to another by one table.
template <class Decoder, class ToSjis = Decoder, class ToEuc = Decoder>
std::size_t DriveTo(Code output, const unsigned char* p, const unsigned char* end,
                    unsigned char* out, std::size_t capacity) {
  switch (output) {
    case Code::kJis:
      return Drive<ToEuc, JisEncoder>(p, end, out, capacity);
    case Code::kEucJp:
      return Drive<ToEuc, EucEncoder>(p, end, out, capacity);
    case Code::kUtf8:
      return Drive<Decoder, Utf8Encoder>(p, end, out, capacity);
    default:
      return Drive<ToSjis, SjisEncoder>(p, end, out, capacity);
  }
}

bool StartsWith(const unsigned char* in, std::size_t size, std::string_view prefix) {
  return size >= prefix.size() && std::memcmp(in, prefix.data(), prefix.size()) == 0;
}

// Converts p..end from input to output with fresh decoder and encoder. A byte-order mark is one
// only at the start of the whole input (at_start).
std::size_t ConvertFrom(Code input, Code output, const unsigned char* p, const unsigned char* end,
                        bool at_start, unsigned char* out, std::size_t capacity) {
  // A byte-order mark stays one in UTF-8 output (the decoder reads it as U+FEFF) and is dropped
  // in every other code, which has none.
  const auto skip_bom = [&](std::string_view bom) {
    return at_start && output != Code::kUtf8 &&
                   StartsWith(p, static_cast<std::size_t>(end - p), bom)
               ? bom.size()
               : 0;
  };
  switch (input) {
    case Code::kJis:
      return DriveTo<JisDecoder, JisToSjisDecoder>(output, p, end, out, capacity);
    case Code::kEucJp:
      return DriveTo<EucDecoder, EucToSjisDecoder>(output, p, end, out, capacity);
    case Code::kUtf8:
      return DriveTo<Utf8Decoder>(output, p + skip_bom("\xEF\xBB\xBF"), end, out, capacity);
    case Code::kUtf16Le:
      return DriveTo<Utf16Decoder<false>>(output, p + skip_bom("\xFF\xFE"), end, out, capacity);
    case Code::kUtf16Be:
      return DriveTo<Utf16Decoder<true>>(output, p + skip_bom("\xFE\xFF"), end, out, capacity);
    default:
      return DriveTo<SjisDecoder, SjisDecoder, SjisToEucDecoder>(output, p, end, out, capacity);
  }
}

// The end of the run from p of the bytes that every pair of codes converts to themselves: below
// 0x80 and not ESC, SO or SI, which ISO-2022-JP reads as shifts and writes as GETA MARKs. For
// the part of the run a short output buffer has no room for; CopyAsciiRun takes the rest.
const unsigned char* SkipAsciiRun(const unsigned char* p, const unsigned char* end) {
  while (end - p >= 16) {
    const std::uint64_t a = Load8(p), b = Load8(p + 8);
    if (((a | b) & kHighBits) != 0 || HasJisShift(a) || HasJisShift(b)) {
      break;
    }
    p += 16;
  }
  while (p < end && *p < 0x80 && !IsJisShift(*p)) {
    ++p;
  }
  return p;
}

}  // namespace

std::optional<Options> ParseOptions(std::string_view letters) {
  Options options;
  for (const char letter : letters) {
    switch (letter) {
      case 'S':
        options.input = Code::kShiftJis;
        break;
      case 'J':
        options.input = Code::kJis;
        break;
      case 'E':
        options.input = Code::kEucJp;
        break;
      case 'W':
        options.input = Code::kUtf8;
        break;
      case 's':
        options.output = Code::kShiftJis;
        break;
      case 'j':
        options.output = Code::kJis;
        break;
      case 'e':
        options.output = Code::kEucJp;
        break;
      case 'w':
        options.output = Code::kUtf8;
        break;
      default:
        return std::nullopt;
    }
  }
  return options;
}

std::size_t Convert(const Options& options, const unsigned char* in, std::size_t in_size,
                    unsigned char* out, std::size_t capacity) {
  if (in_size == 0) {
    return 0;
  }
  const unsigned char* end = in + in_size;
  if (options.input) {
    return ConvertFrom(*options.input, options.output, in, end, true, out, capacity);
  }
  // Text that starts with ASCII would have that start read twice, by the detector and by the
  // conversion. Every code converts those bytes to themselves, so they are copied here once,
  // the detector is told they are ASCII, and the rest is converted on its own: no decoder or
  // encoder changes state on them.
  const unsigned char* p = in;
  const unsigned char* const copy_end = in + std::min(in_size, capacity);
  unsigned char* o = CopyAsciiRun<true>(p, copy_end, out);
  if (p == copy_end) {
    p = SkipAsciiRun(p, end);
  }
  const auto ascii = static_cast<std::size_t>(p - in);
  if (p == end) {
    return ascii;
  }
  const auto copied = static_cast<std::size_t>(o - out);
  return ascii + ConvertFrom(DetectCodeAfterAscii(in, in_size, ascii), options.output, p, end,
                             ascii == 0, o, capacity - copied);
}

std::string Convert(const Options& options, std::string_view in) {
  std::string out(MaxOutput(in.size()), '\0');
  const auto* data = reinterpret_cast<const unsigned char*>(in.data());
  out.resize(
      Convert(options, data, in.size(), reinterpret_cast<unsigned char*>(out.data()), out.size()));
  return out;
}

}  // namespace nkf
