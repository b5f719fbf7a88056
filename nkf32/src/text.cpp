#include "text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "iso2022jp.h"
#include "sjis.h"

namespace nkf {
namespace {

// The full-width form of each half-width katakana U+FF61-U+FF9F.
constexpr std::array<char16_t, 63> kFullKana = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ',
    u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ',
    u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ',
    u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜'};

constexpr char32_t kVoicedMark = 0xFF9E;
constexpr char32_t kSemiVoicedMark = 0xFF9F;

bool IsHalfKana(char32_t c) {
  return c >= 0xFF61 && c <= 0xFF9F;
}

// The full-width character of half-width c followed by a voiced (or semi-voiced) mark, or 0.
char32_t Voiced(char32_t c, bool semi) {
  if (!semi && c == 0xFF73) {
    return u'ヴ';
  }
  const bool ka_to_to = c >= 0xFF76 && c <= 0xFF84;  // カ..ト take the voiced mark
  const bool ha_to_ho = c >= 0xFF8A && c <= 0xFF8E;  // ハ..ホ take both
  if ((!semi && (ka_to_to || ha_to_ho)) || (semi && ha_to_ho)) {
    return kFullKana[c - 0xFF61] + (semi ? 2 : 1);
  }
  return 0;
}

// One character of Shift_JIS text: its bytes and what they decode to (kInvalid when nothing).
struct Char {
  std::string_view bytes;
  std::uint32_t code;
};

class SjisReader {
 public:
  explicit SjisReader(std::string_view text)
      : p_(reinterpret_cast<const unsigned char*>(text.data())), end_(p_ + text.size()) {}

  bool Done() const { return p_ == end_; }
  Char Peek() const {
    const unsigned char* q = p_;
    std::uint32_t code = *q < 0x80 ? *q++ : SjisDecoder().Next(q, end_);
    return {std::string_view(reinterpret_cast<const char*>(p_), q - p_), code};
  }
  Char Take() {
    const Char c = Peek();
    p_ += c.bytes.size();
    return c;
  }

 private:
  const unsigned char* p_;
  const unsigned char* end_;
};

void AppendSjis(std::string& out, char32_t c) {
  unsigned char buffer[2];
  unsigned char* end = SjisEncoder().Put(c, buffer);
  out.append(reinterpret_cast<const char*>(buffer), end - buffer);
}

}  // namespace

std::string ToHankaku(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size());
  for (SjisReader reader(sjis); !reader.Done();) {
    const Char c = reader.Take();
    if (c.code >= 0xFF01 && c.code <= 0xFF5E) {
      out += static_cast<char>(c.code - 0xFF01 + 0x21);
      continue;
    }
    if (c.code == 0x3000) {
      out += ' ';
      continue;
    }
    char32_t half = 0;
    char32_t mark = 0;
    for (char32_t h = 0xFF61; h <= 0xFF9F && half == 0; ++h) {
      if (kFullKana[h - 0xFF61] == c.code) {
        half = h;
      } else if (Voiced(h, false) == c.code) {
        half = h, mark = kVoicedMark;
      } else if (Voiced(h, true) == c.code) {
        half = h, mark = kSemiVoicedMark;
      }
    }
    if (half == 0) {
      out += c.bytes;
      continue;
    }
    AppendSjis(out, half);
    if (mark != 0) {
      AppendSjis(out, mark);
    }
  }
  return out;
}

std::string ToZenkakuKana(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() * 2);
  for (SjisReader reader(sjis); !reader.Done();) {
    const Char c = reader.Take();
    if (!IsHalfKana(c.code)) {
      out += c.bytes;
      continue;
    }
    if (!reader.Done()) {
      const std::uint32_t next = reader.Peek().code;
      if (next == kVoicedMark || next == kSemiVoicedMark) {
        if (const char32_t joined = Voiced(c.code, next == kSemiVoicedMark)) {
          reader.Take();
          AppendSjis(out, joined);
          continue;
        }
      }
    }
    AppendSjis(out, kFullKana[c.code - 0xFF61]);
  }
  return out;
}

namespace {

constexpr std::string_view kWordStart = "=?ISO-2022-JP?B?";
constexpr std::string_view kWordEnd = "?=";
constexpr std::size_t kMaxWord = 75;
// Base64 turns 3 bytes into 4 characters: the most ISO-2022-JP bytes one word holds.
constexpr std::size_t kWordBytes = (kMaxWord - kWordStart.size() - kWordEnd.size()) / 4 * 3;

void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
}

}  // namespace

std::string EncodeSubject(std::string_view sjis) {
  bool ascii = true;
  for (const char c : sjis) {
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  }
  if (ascii) {
    return std::string(sjis);
  }
  std::string out;
  std::string word;  // the ISO-2022-JP bytes of the current word, without its return to ASCII
  JisEncoder jis;
  const auto flush = [&] {
    unsigned char tail[4];
    word.append(reinterpret_cast<const char*>(tail), jis.Finish(tail) - tail);
    if (!out.empty()) {
      out += "\r\n ";
    }
    out += kWordStart;
    AppendBase64(out, word);
    out += kWordEnd;
    word.clear();
  };
  for (SjisReader reader(sjis); !reader.Done();) {
    const Char c = reader.Take();
    // Tried on a copy: the word must still hold this character and the way back to ASCII.
    JisEncoder trial = jis;
    unsigned char bytes[kMaxPerChar];
    std::size_t n = static_cast<std::size_t>(trial.Put(c.code, bytes) - bytes);
    const std::size_t back = trial.set == JisSet::kAscii ? 0 : 3;
    if (!word.empty() && word.size() + n + back > kWordBytes) {
      flush();
      trial = jis;
      n = static_cast<std::size_t>(trial.Put(c.code, bytes) - bytes);
    }
    jis = trial;
    word.append(reinterpret_cast<const char*>(bytes), n);
  }
  flush();
  return out;
}

}  // namespace nkf
