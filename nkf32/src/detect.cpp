#include "detect.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define NKF_DETECT_AVX2 1
#endif

#include "../tables/detect_tables.inc"
#include "detect_report.h"

// Detection reads the input once, as UTF-8, Shift_JIS and EUC-JP side by side, and keeps the
// reading that costs least under a model of Japanese text (a class bigram and the frequency of
// each character, generated into detect_tables.inc). An invalid sequence costs a reading as much
// as a very unlikely character, so a stray bad byte in a long file does not decide against
// the file's real code, while in short texts the impossible bytes still decide first.
// The cheap evidence comes before any of it: byte-order marks, and ISO-2022-JP escapes in
// text without 8-bit bytes.

namespace nkf {
namespace {

namespace tables = detect_tables;

// Classes as numbered by the generator (unicode_class in detect_gen.py).
enum Class : std::uint8_t {
  kStart,
  kAsciiAlnum,
  kAsciiSpace,
  kAsciiPunct,
  kHiragana,
  kKatakana,
  kHalfKana,
  kKanji,
  kFullPunct,
  kFullAlnum,
  kGreekCyrillic,
  kNecSymbol,
  kSymbol,
  kOther,
  kClassCount
};
static_assert(sizeof(tables::kClassCost) == kClassCount * kClassCount);

constexpr std::int64_t kErrorCost = kDetectErrorCost;
static_assert(kErrorCost == 40 * tables::kScale);
// JIS X 0212 in EUC-JP and characters beyond the BMP in UTF-8: rare, never in the tables.
constexpr int kEucX0212Cost = 18 * tables::kScale;
constexpr int kAstralCost = 20 * tables::kScale;
// Once every other reading costs this much more than the best one, the rest of the input
// cannot change the answer in any text we have seen; the scan stops there.
constexpr std::int64_t kDecideMargin = 160 * tables::kScale;
// How many bytes of the byte-by-byte path pass between two looks at the margin.
constexpr std::size_t kCheckEvery = 16;

constexpr Class AsciiClass(unsigned char b) {
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
    return kAsciiAlnum;
  }
  if (b == ' ' || (b >= '\t' && b <= '\r')) {
    return kAsciiSpace;
  }
  return kAsciiPunct;
}

// The same ranges as unicode_class in the generator.
constexpr Class ClassOfCodePoint(std::uint32_t cp) {
  if (cp < 0x80) {
    return AsciiClass(static_cast<unsigned char>(cp));
  }
  if (cp >= 0x3041 && cp <= 0x309F) {
    return kHiragana;
  }
  if ((cp >= 0x30A1 && cp <= 0x30FA) || (cp >= 0x30FC && cp <= 0x30FF)) {
    return kKatakana;
  }
  if (cp >= 0xFF61 && cp <= 0xFF9F) {
    return kHalfKana;
  }
  if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
      (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x3005 && cp <= 0x3007)) {
    return kKanji;
  }
  if ((cp >= 0x3000 && cp <= 0x303F) || cp == 0x30FB) {
    return kFullPunct;
  }
  if ((cp >= 0xFF10 && cp <= 0xFF19) || (cp >= 0xFF21 && cp <= 0xFF3A) ||
      (cp >= 0xFF41 && cp <= 0xFF5A)) {
    return kFullAlnum;
  }
  if ((cp >= 0xFF01 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE5)) {
    return kFullPunct;
  }
  if ((cp >= 0x0391 && cp <= 0x03C9) || (cp >= 0x0401 && cp <= 0x0451)) {
    return kGreekCyrillic;
  }
  if ((cp >= 0x2460 && cp <= 0x24FF) || (cp >= 0x2160 && cp <= 0x217F) ||
      (cp >= 0x3200 && cp <= 0x33FF) || cp == 0x2116 || cp == 0x2121) {
    return kNecSymbol;
  }
  if ((cp >= 0xA0 && cp <= 0xFF) || (cp >= 0x2000 && cp <= 0x2BFF) ||
      (cp >= 0x0300 && cp <= 0x036F)) {
    return kSymbol;
  }
  return kOther;
}

// The running cost of one reading.
struct Score {
  std::int64_t cost = 0;
  std::int64_t errors = 0;
  std::uint8_t prev = kAsciiSpace;  // a text starts as a line does
  std::uint8_t half_kana = 0;       // the last half-width kana, 0..62, while prev is kHalfKana

  void Char(int char_cost, std::uint8_t cls) {
    cost += tables::kClassCost[prev * kClassCount + cls] + char_cost;
    prev = cls;
  }
  // ASCII after ASCII costs every reading the same, so only the step out of other text counts.
  void Ascii(std::uint8_t cls) {
    if (prev > kAsciiPunct) {
      cost += tables::kClassCost[prev * kClassCount + cls];
    }
    prev = cls;
  }
  void Error() {
    ++errors;
    cost += kErrorCost;
    prev = kOther;
  }
};

// Index of a Shift_JIS two-byte code in the tables: row of the lead (0..59) times the 188
// possible trails.
constexpr int SjisPairIndex(unsigned lead, unsigned trail) {
  const unsigned li = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
  const unsigned ti = trail <= 0x7E ? trail - 0x40 : trail - 0x41;
  return static_cast<int>(li * 188 + ti);
}

// EUC-JP row r, cell c (both 1..94) is the Shift_JIS code of the same JIS X 0208 position.
constexpr int EucPairIndex(unsigned b1, unsigned b2) {
  const unsigned r = b1 - 0xA1;  // row - 1
  const unsigned c = b2 - 0xA1;  // cell - 1
  return static_cast<int>((r >> 1) * 188 + (r & 1) * 94 + c);
}
static_assert(EucPairIndex(0xA4, 0xA2) == SjisPairIndex(0x82, 0xA0));  // あ
static_assert(EucPairIndex(0xB0, 0xA1) == SjisPairIndex(0x88, 0x9F));  // 亜
static_assert(EucPairIndex(0xF4, 0xA6) == SjisPairIndex(0xEA, 0xA4));  // 熙

void SjisTableChar(Score& s, int index) {
  const std::uint8_t cost = tables::kSjisCost[index];
  if (cost == tables::kInvalid) {
    s.Error();
  } else {
    s.Char(cost, tables::kSjisClass[index]);
  }
}

// Half-width kana A1..DF; after another one its cost is that of the pair.
void HalfKana(Score& s, unsigned b) {
  const auto kana = static_cast<std::uint8_t>(b - 0xA1);
  if (s.prev == kHalfKana) {
    s.cost += tables::kClassCost[kHalfKana * kClassCount + kHalfKana] +
              tables::kHalfKanaPairCost[s.half_kana * 63 + kana];
  } else {
    SjisTableChar(s, tables::kSjisPairs + kana);
  }
  s.prev = kHalfKana;
  s.half_kana = kana;
}

struct SjisReader {
  Score s;
  unsigned lead = 0;

  bool AtBoundary() const { return lead == 0; }
  void Feed(unsigned b) {
    if (lead != 0) {
      const unsigned l = lead;
      lead = 0;
      if ((b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC)) {
        SjisTableChar(s, SjisPairIndex(l, b));
        return;
      }
      s.Error();  // the byte after a bad lead starts afresh
    }
    if (b < 0x80) {
      s.Ascii(AsciiClass(static_cast<unsigned char>(b)));
    } else if (b >= 0xA1 && b <= 0xDF) {
      HalfKana(s, b);
    } else if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      lead = b;
    } else {
      s.Error();  // 0x80, 0xA0, 0xFD..0xFF
    }
  }
  void Finish() {
    if (lead != 0) {
      lead = 0;
      s.Error();
    }
  }
};

struct EucReader {
  Score s;
  unsigned first = 0;   // A1..FE, 8E or 8F waiting for what follows
  unsigned second = 0;  // after 8F: the byte after it

  bool AtBoundary() const { return first == 0; }
  void Feed(unsigned b) {
    if (first != 0) {
      const unsigned f = first;
      if (b >= 0xA1 && b <= 0xFE) {
        if (f == 0x8F && second == 0) {
          second = b;
          return;
        }
        first = 0;
        second = 0;
        if (f == 0x8F) {
          s.Char(kEucX0212Cost, kKanji);
        } else if (f == 0x8E) {
          if (b <= 0xDF) {
            HalfKana(s, b);
          } else {
            s.Error();
          }
        } else {
          SjisTableChar(s, EucPairIndex(f, b));
        }
        return;
      }
      first = 0;
      second = 0;
      s.Error();
    }
    if (b < 0x80) {
      s.Ascii(AsciiClass(static_cast<unsigned char>(b)));
    } else if ((b >= 0xA1 && b <= 0xFE) || b == 0x8E || b == 0x8F) {
      first = b;
    } else {
      s.Error();
    }
  }
  void Finish() {
    if (first != 0) {
      first = 0;
      second = 0;
      s.Error();
    }
  }
};

struct Utf8Reader {
  Score s;
  std::uint32_t cp = 0;
  int need = 0;                      // continuation bytes still to come
  unsigned low = 0x80, high = 0xBF;  // the range allowed for the next continuation byte

  bool AtBoundary() const { return need == 0; }
  void Feed(unsigned b) {
    if (need != 0) {
      if (b >= low && b <= high) {
        cp = (cp << 6) | (b & 0x3F);
        low = 0x80;
        high = 0xBF;
        if (--need == 0) {
          Emit();
        }
        return;
      }
      need = 0;
      s.Error();
    }
    if (b < 0x80) {
      s.Ascii(AsciiClass(static_cast<unsigned char>(b)));
    } else if (b >= 0xC2 && b <= 0xDF) {
      Start(b & 0x1F, 1, 0x80, 0xBF);
    } else if (b >= 0xE0 && b <= 0xEF) {
      // No overlong forms (E0 80..9F) and no surrogates (ED A0..BF).
      Start(b & 0x0F, 2, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF);
    } else if (b >= 0xF0 && b <= 0xF4) {
      Start(b & 0x07, 3, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF);
    } else {
      s.Error();
    }
  }
  void Start(std::uint32_t bits, int n, unsigned lo, unsigned hi) {
    cp = bits;
    need = n;
    low = lo;
    high = hi;
  }
  void Emit() {
    if (cp >= 0x10000) {
      s.Char(kAstralCost, kOther);
      return;
    }
    const unsigned block = tables::kUnicodeBlockOf[cp >> tables::kBlockBits];
    const unsigned offset = cp & ((1u << tables::kBlockBits) - 1);
    s.Char(tables::kUnicodeCost[(block << tables::kBlockBits) + offset], ClassOfCodePoint(cp));
  }
  void Finish() {
    if (need != 0) {
      need = 0;
      s.Error();
    }
  }
};

// A designation of a Japanese character set, starting at the ESC at p[0].
bool IsJapaneseEscape(const unsigned char* p, std::size_t left) {
  if (left >= 3 && p[1] == '$' && (p[2] == '@' || p[2] == 'B')) {
    return true;  // JIS C 6226, JIS X 0208
  }
  if (left >= 3 && p[1] == '(' && p[2] == 'I') {
    return true;  // half-width katakana
  }
  if (left >= 4 && p[1] == '$' && p[2] == '(' &&
      (p[3] == 'D' || p[3] == 'O' || p[3] == 'Q' || p[3] == 'P')) {
    return true;  // JIS X 0212, JIS X 0213
  }
  return false;
}

#if defined(NKF_DETECT_AVX2)
// 128 bytes a step, on processors that have AVX2 (chosen at run time).
__attribute__((target("avx2"))) std::size_t SkipAsciiAvx2(const unsigned char* p, std::size_t i,
                                                          std::size_t n) {
  const __m256i esc = _mm256_set1_epi8(0x1B);
  while (n - i >= 128) {
    const auto* v = reinterpret_cast<const __m256i*>(p + i);
    const __m256i a = _mm256_loadu_si256(v), b = _mm256_loadu_si256(v + 1);
    const __m256i c = _mm256_loadu_si256(v + 2), d = _mm256_loadu_si256(v + 3);
    const __m256i high = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
    const __m256i escs =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(a, esc), _mm256_cmpeq_epi8(b, esc)),
                        _mm256_or_si256(_mm256_cmpeq_epi8(c, esc), _mm256_cmpeq_epi8(d, esc)));
    if (_mm256_movemask_epi8(_mm256_or_si256(high, escs)) != 0) {
      break;
    }
    i += 128;
  }
  return i;
}
#endif

// The end of the run of ASCII bytes other than ESC that starts at i. Text that is mostly ASCII
// spends nearly all of detection here: it is read as fast as the caches give it, 64 or 128
// bytes a step where SSE2 or AVX2 are there, because the conversion reads it once more.
std::size_t SkipAscii(const unsigned char* p, std::size_t i, std::size_t n) {
#if defined(NKF_DETECT_AVX2)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && n - i >= 128) {
    i = SkipAsciiAvx2(p, i, n);
  }
#endif
#if defined(__SSE2__)
  const __m128i esc = _mm_set1_epi8(0x1B);
  // _mm_loadu_si128 is the unaligned load; it reads through the cast pointer without
  // requiring alignment.
  const auto load = [p](std::size_t at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
  };
  while (n - i >= 64) {
    const __m128i a = load(i), b = load(i + 16), c = load(i + 32), d = load(i + 48);
    const __m128i high = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    const __m128i escs = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, esc), _mm_cmpeq_epi8(b, esc)),
                                      _mm_or_si128(_mm_cmpeq_epi8(c, esc), _mm_cmpeq_epi8(d, esc)));
    if (_mm_movemask_epi8(_mm_or_si128(high, escs)) != 0) {
      break;
    }
    i += 64;
  }
#endif
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  while (n - i >= 8) {
    std::uint64_t v;
    std::memcpy(&v, p + i, 8);
    const std::uint64_t esc = v ^ (kOnes * 0x1B);
    if (((v | ((esc - kOnes) & ~esc)) & kHigh) != 0) {
      break;
    }
    i += 8;
  }
  while (i < n && p[i] < 0x80 && p[i] != 0x1B) {
    ++i;
  }
  return i;
}

class Detector {
 public:
  // ascii_prefix: how many bytes at the start the caller knows to be ASCII other than ESC.
  DetectReport Run(const unsigned char* p, std::size_t n, std::size_t ascii_prefix) {
    DetectReport r;
    if (ascii_prefix != 0) {
      const std::uint8_t last = AsciiClass(p[ascii_prefix - 1]);
      utf8_.s.prev = sjis_.s.prev = euc_.s.prev = last;
    } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
      return Bom(r, Code::kUtf16Le);
    }
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
      return Bom(r, Code::kUtf16Be);
    }
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
      return Bom(r, Code::kUtf8);
    }

    std::size_t i = ascii_prefix;
    std::size_t since_check = 0;
    while (i < n) {
      if (utf8_.AtBoundary() && sjis_.AtBoundary() && euc_.AtBoundary()) {
        const std::size_t end = SkipAscii(p, i, n);
        if (end != i) {
          // Only the step into the run and the class at its end matter to the scores.
          FeedAll(p[i]);
          if (end - i > 1) {
            const std::uint8_t last = AsciiClass(p[end - 1]);
            utf8_.s.prev = sjis_.s.prev = euc_.s.prev = last;
          }
          i = end;
          continue;
        }
      }
      const unsigned b = p[i];
      if (b == 0x1B && IsJapaneseEscape(p + i, n - i)) {
        ++escapes_;
      }
      if (b >= 0x80) {
        ++high_bytes_;
      }
      FeedAll(b);
      ++i;
      if (++since_check == kCheckEvery) {
        since_check = 0;
        if (Decided(r)) {
          r.decided_early = true;
          r.examined = i;
          return r;
        }
      }
    }
    utf8_.Finish();
    sjis_.Finish();
    euc_.Finish();
    r.examined = n;
    if (high_bytes_ == 0) {
      Fill(r);
      r.basis = escapes_ != 0 ? DetectReport::kEscapes : DetectReport::kAscii;
      // Pure ASCII reads alike in every code; Shift_JIS is the component's default.
      r.code = escapes_ != 0 ? Code::kJis : Code::kShiftJis;
      return r;
    }
    Decided(r);
    return r;
  }

 private:
  static DetectReport Bom(DetectReport& r, Code code) {
    r.code = code;
    r.basis = DetectReport::kBom;
    r.examined = code == Code::kUtf8 ? 3 : 2;
    return r;
  }

  void FeedAll(unsigned b) {
    utf8_.Feed(b);
    sjis_.Feed(b);
    euc_.Feed(b);
  }

  void Fill(DetectReport& r) const {
    const Score* scores[] = {&utf8_.s, &sjis_.s, &euc_.s};
    for (int k = 0; k < DetectReport::kReadingCount; ++k) {
      r.cost[k] = scores[k]->cost;
      r.errors[k] = scores[k]->errors;
    }
  }

  // Chooses the cheapest reading into r; true when every other one is behind by the margin.
  // Ties go to UTF-8, then Shift_JIS. ISO-2022-JP competes when its escapes were seen: each
  // 8-bit byte counts as an invalid sequence of it, and each escape as one of the others, so
  // a JIS file with a stray 8-bit byte stays JIS and a Shift_JIS file that quotes an escape
  // stays Shift_JIS.
  bool Decided(DetectReport& r) const {
    Fill(r);
    r.basis = DetectReport::kScore;
    constexpr Code kCodes[] = {Code::kUtf8, Code::kShiftJis, Code::kEucJp};
    int best = 0;
    for (int k = 1; k < DetectReport::kReadingCount; ++k) {
      if (r.cost[k] < r.cost[best]) {
        best = k;
      }
    }
    std::int64_t best_cost = r.cost[best];
    r.code = kCodes[best];
    std::int64_t runner_up = INT64_MAX;
    for (int k = 0; k < DetectReport::kReadingCount; ++k) {
      if (k != best && r.cost[k] < runner_up) {
        runner_up = r.cost[k];
      }
    }
    if (escapes_ != 0) {
      const auto escapes = static_cast<std::int64_t>(escapes_) * kErrorCost;
      best_cost += escapes;
      runner_up = runner_up == INT64_MAX ? runner_up : runner_up + escapes;
      const std::int64_t jis = static_cast<std::int64_t>(high_bytes_) * kErrorCost;
      if (jis <= best_cost) {
        runner_up = best_cost;
        best_cost = jis;
        r.code = Code::kJis;
        r.basis = DetectReport::kEscapes;
      } else if (jis < runner_up) {
        runner_up = jis;
      }
    }
    return runner_up - best_cost >= kDecideMargin;
  }

  Utf8Reader utf8_;
  SjisReader sjis_;
  EucReader euc_;
  std::size_t high_bytes_ = 0;
  std::size_t escapes_ = 0;  // designations of Japanese sets seen
};

}  // namespace

DetectReport DetectCodeReport(const unsigned char* data, std::size_t size) {
  return Detector().Run(data, size, 0);
}

Code DetectCodeAfterAscii(const unsigned char* data, std::size_t size, std::size_t ascii_prefix) {
  return Detector().Run(data, size, ascii_prefix < size ? ascii_prefix : size).code;
}

Code DetectCode(const unsigned char* data, std::size_t size) {
  return DetectCodeReport(data, size).code;
}

}  // namespace nkf
