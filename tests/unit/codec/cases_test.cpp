// Conversions of chosen byte sequences, each also behind 0-31 ASCII bytes (so that the ASCII
// fast path hands over at every position) and cut at every offset.
#include "support.h"

namespace codec_test {
namespace {

using namespace std::string_literals;

// One character in each code.
const std::string kA_s = "\x82\xA0", kA_e = "\xA4\xA2", kA_j = "\x1B$B\x24\x22\x1B(B",
                  kA_w = "\xE3\x81\x82";                                       // あ
const std::string kKa_s = "\xB1", kKa_e = "\x8E\xB1", kKa_w = "\xEF\xBD\xB1";  // ｱ
const std::string kGeta_s = "\x81\xAC", kGeta_e = "\xA2\xAE";
const std::string kGeta_j = "\x1B$B\x22\x2E\x1B(B";
const std::string kFffd = "\xEF\xBF\xBD";

struct Case {
  const char* name;
  const char* options;
  std::string in;
  std::string out;
};

const Case kCases[] = {
    // Valid text in each direction.
    {"hiragana", "Sw", kA_s, kA_w},
    {"hiragana", "Se", kA_s, kA_e},
    {"hiragana", "Sj", kA_s, kA_j},
    {"hiragana", "Es", kA_e, kA_s},
    {"hiragana", "Js", kA_j, kA_s},
    {"hiragana", "Ws", kA_w, kA_s},
    {"hiragana", "Jw", kA_j, kA_w},
    {"hiragana", "Ej", kA_e, kA_j},
    {"half-width katakana stay half-width", "Sw", kKa_s, kKa_w},
    {"half-width katakana stay half-width", "Se", kKa_s, kKa_e},
    {"half-width katakana stay half-width", "Sj", kKa_s, "\x1B(I\x31\x1B(B"},
    {"half-width katakana stay half-width", "Es", kKa_e, kKa_s},
    {"half-width katakana stay half-width", "Ws", kKa_w, kKa_s},
    {"half-width katakana in longer text", "Ws", kKa_w + kKa_w + "a", kKa_s + kKa_s + "a"},
    {"half-width katakana in longer text", "We", kKa_w + kKa_w + "a", kKa_e + kKa_e + "a"},
    {"half-width katakana in longer text", "Wj", kKa_w + kKa_w + "a", "\x1B(I\x31\x31\x1B(Ba"},
    {"IBM extension", "Ws", "\xE9\xAB\x99", "\xFB\xFC"},
    {"IBM extension in EUC-JP", "Se", "\xFB\xFC", "\x8F\xF4\xFB"},
    {"IBM extension in JIS", "Sj", "\xFB\xFC", "\x1B$(D\x74\x7B\x1B(B"},
    {"NEC-selected becomes IBM", "Sj", "\xEE\xEF", "\x1B$(D\x73\x73\x1B(B"},
    {"user-defined, two-byte EUC-JP", "Se", "\xF0\x40", "\xF5\xA1"},
    {"user-defined, three-byte EUC-JP", "We", "\xEE\x8E\xAC", "\x8F\xF5\xA1"},
    {"JIS X 0212 in EUC-JP", "Ew", "\x8F\xA2\xAF", "\xCB\x98"},
    {"JIS X 0212 lacking in code page 932", "Es", "\x8F\xA2\xAF", kGeta_s},
    {"beyond the BMP", "Ww", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    {"beyond the BMP lacking", "Ws", "\xF0\x9F\x98\x80", kGeta_s},
    {"beyond the BMP lacking", "Wj", "\xF0\x9F\x98\x80", kGeta_j},

    // Line ends and ASCII pass through; JIS returns to ASCII before each line end.
    {"line ends", "Sj", kA_s + "\r\n" + kA_s + "\r" + kA_s + "\n",
     kA_j + "\r\n" + kA_j + "\r" + kA_j + "\n"},
    {"line ends", "Ws", "a\r\nb\rc\n", "a\r\nb\rc\n"},
    {"controls and DEL", "Se", "\x01\x1B\x7F\t", "\x01\x1B\x7F\t"},
    {"controls and DEL", "Sj", "\x01\x7F\t\x0B", "\x01\x7F\t\x0B"},
    {"controls near the shift bytes", "Sj", "\x10\x1A\x1C\x0D\x0C", "\x10\x1A\x1C\x0D\x0C"},
    {"controls near the shift bytes", "Jw", "\x10\x1A\x1C\x0D\x0C", "\x10\x1A\x1C\x0D\x0C"},
    {"shift bytes are no data in JIS", "Sj", "\x1B$B\x0E\x0F",
     "\x1B$B\x22\x2E\x1B(B$B\x1B$B\x22\x2E\x22\x2E\x1B(B"},
    {"shift bytes are no data in JIS", "Wj", "a\x1B(I", "a\x1B$B\x22\x2E\x1B(B(I"},
    {"kana then ASCII", "Sj", kA_s + kKa_s + "a", "\x1B$B\x24\x22\x1B(I\x31\x1B(Ba"},
    {"JIS kanji state across a bare line end", "Jw", "\x1B$B\x24\x22\n\x24\x22\x1B(B",
     kA_w + "\n" + kA_w},

    // Zero bytes are ordinary bytes.
    {"zero bytes", "Sw", "a\0b\0"s, "a\0b\0"s},
    {"zero bytes", "Ej", "\0"s + kA_e + "\0"s, "\0"s + kA_j + "\0"s},
    {"zero after a lead", "Sw", "\x82\0"s, kFffd + "\0"s},
    {"zero after a lead", "Ew", "\xA4\0"s, kFffd + "\0"s},
    {"zero inside kanji mode", "Jw", "\x1B$B\0\x24\x22"s, "\0"s + kA_w},

    // The UTF-8 byte-order mark: kept for UTF-8, dropped otherwise, never added.
    {"byte-order mark", "Ww",
     "\xEF\xBB\xBF"
     "a",
     "\xEF\xBB\xBF"
     "a"},
    {"byte-order mark", "Ws",
     "\xEF\xBB\xBF"
     "a",
     "a"},
    {"byte-order mark", "We", "\xEF\xBB\xBF", ""},
    {"byte-order mark", "Wj", "\xEF\xBB\xBF" + kA_w, kA_j},
    {"no byte-order mark added", "Sw", "a", "a"},

    // Shift_JIS: a lead without its trail consumes only itself; an unassigned code with an
    // ASCII trail gives the trail back.
    {"lead at the end", "Sw", "\x82", kFffd},
    {"lead at the end", "Sj", "\x82", kGeta_j},
    {"lead before ASCII", "Sw",
     "\x82"
     "0",
     kFffd + "0"},
    {"lead and trail", "Sw",
     "\x82"
     "a",
     "\xEF\xBC\xA2"},  // 0x8261 is a code: Ｂ
    {"lead before a line end", "Sw", "\x82\n", kFffd + "\n"},
    {"lead before DEL", "Sw", "\x82\x7F", kFffd + "\x7F"},
    {"lead before 0xFD", "Sw", "\x82\xFD", kFffd + kFffd},
    {"lone bytes", "Sw", "\x80\xA0\xFD\xFE\xFF", kFffd + kFffd + kFffd + kFffd + kFffd},
    {"lone byte", "Se",
     "\x80"
     "a",
     kGeta_e + "a"},
    {"unassigned code, ASCII trail", "Sw", "\x85\x40", kFffd + "@"},
    {"unassigned code, high trail", "Sw", "\x85\x9F", kFffd},
    {"unassigned code, high trail", "Ss",
     "\xEB\x9F"
     "a",
     kGeta_s + "a"},

    // EUC-JP.
    {"lead at the end", "Ew", "\xA4", kFffd},
    {"lead before ASCII", "Ew",
     "\xA4"
     "a",
     kFffd + "a"},
    {"SS2 at the end", "Ew", "\x8E", kFffd},
    {"SS2 before a non-kana", "Ew", "\x8E\xE0", kFffd + kFffd},
    {"SS2 before ASCII", "Es",
     "\x8E"
     "a",
     kGeta_s + "a"},
    {"SS3 truncated", "Ew", "\x8F\xA1", kFffd + kFffd},
    {"SS3 unassigned", "Ew", "\x8F\xA1\xA1", kFffd},
    {"unassigned two-byte", "Ew", "\xA9\xA1", kFffd},
    {"C1 and 0xFF", "Ew", "\x80\x9F\xFF", kFffd + kFffd + kFffd},

    // ISO-2022-JP.
    {"JIS X 0208-1978", "Jw", "\x1B$@\x24\x22\x1B(B", kA_w},
    {"JIS X 0201 Roman reads as ASCII", "Jw", "\x1B(Ja\\~\x1B(B", "a\\~"},
    {"half-width katakana by escape", "Jw", "\x1B(I\x31\x1B(B", kKa_w},
    {"half-width katakana by SO/SI", "Jw",
     "\x0E\x31\x0F"
     "a",
     kKa_w + "a"},
    {"JIS X 0212", "Jw", "\x1B$(D\x22\x2F\x1B(B", "\xCB\x98"},
    {"long designation", "Jw", "\x1B$(B\x24\x22\x1B(B", kA_w},
    {"1990 announcer", "Jw", "\x1B&@\x1B$B\x24\x22\x1B(B", kA_w},
    {"long form cut short", "Jw", "\x1B$(Z", kFffd + "$(Z"},
    {"unknown escape", "Jw", "\x1B$Zab", kFffd + "$Zab"},
    {"escape at the end", "Jw", "\x1B", kFffd},
    {"escape cut short", "Jw", "\x1B(", kFffd + "("},
    {"escape cut short", "Jw", "\x1B$(", kFffd + "$("},
    {"half a kanji at the end", "Jw", "\x1B$B\x24", kFffd},
    {"kanji with a bad second byte", "Jw", "\x1B$B\x24 ", kFffd + " "},
    {"eight-bit bytes", "Jw", "\x1B$B\xA4\xA2", kFffd + kFffd},
    {"eight-bit bytes", "Jw", "\xB1", kFffd},
    {"kana out of range", "Jw", "\x1B(I\x60", kFffd},
    {"unassigned kanji", "Js", "\x1B$B\x29\x21\x1B(B", kGeta_s},
    {"invalid in JIS output", "Sj", "\x80", kGeta_j},
    {"geta then ASCII", "Sj",
     "\x80"
     "a",
     "\x1B$B\x22\x2E\x1B(Ba"},
    {"unmappable in JIS output", "Wj",
     "\xF0\x9F\x98\x80"
     "a",
     "\x1B$B\x22\x2E\x1B(Ba"},

    // UTF-8: each maximal subpart of an ill-formed sequence is one replacement.
    {"overlong", "Ww", "\xC0\xAF", kFffd + kFffd},
    {"overlong", "Ws", "\xC0\xAF", kGeta_s + kGeta_s},
    {"overlong three-byte", "Ww", "\xE0\x80\xAF", kFffd + kFffd + kFffd},
    {"surrogate", "Ww", "\xED\xA0\x80", kFffd + kFffd + kFffd},
    {"above U+10FFFF", "Ww", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
    {"beyond F4", "Ww", "\xF5\x80", kFffd + kFffd},
    {"truncated at the end", "Ww", "\xE3\x81", kFffd},
    {"truncated before ASCII", "We",
     "\xE3\x81"
     "a",
     kGeta_e + "a"},
    {"truncated four-byte", "Ww", "\xF0\x9F\x98", kFffd},
    {"lone continuation", "Ww", "\x80z", kFffd + "z"},
};

// 0-31 ASCII bytes, not all alike.
std::string Prefix(std::size_t n) {
  return std::string("The quick brown fox jumps over the lazy dog").substr(0, n);
}

TEST(Cases, ConvertAsExpectedBehindAnyAsciiPrefix) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.options + ": " + Hex(c.in));
    // A byte-order mark is one only at the start.
    const std::size_t prefixes = c.in.rfind("\xEF\xBB\xBF", 0) == 0 ? 1 : 32;
    for (std::size_t n = 0; n < prefixes; ++n) {
      ASSERT_EQ(Hex(Convert(c.options, Prefix(n) + c.in)), Hex(Prefix(n) + c.out)) << n;
    }
  }
}

// A prefix of every case and a fragment of every kind of text, in every conversion: the output
// stays well-formed wherever the input stops.
TEST(Cases, OutputIsWellFormedWhereverTheInputIsCut) {
  for (const Case& c : kCases) {
    for (const char* options : {"Sw", "Sj", "Ew", "Ej", "Jw", "Js", "Je", "Ww", "Wj"}) {
      for (std::size_t n = 0; n <= c.in.size(); ++n) {
        const std::string in = Prefix(n % 3) + c.in.substr(0, n);
        SCOPED_TRACE(std::string(options) + ": " + Hex(in));
        const std::string out = Convert(options, in);
        if (options[1] == 'w') {
          EXPECT_TRUE(IsValidUtf8(out));
        } else if (options[1] == 'j') {
          EXPECT_TRUE(JisBackInAsciiAtLineEnds(out));
        }
      }
    }
  }
}

// JIS text with every shift, cut at every offset: the decoder's state never outlives its text
// and the encoder always ends in ASCII.
TEST(Cases, JisCutAtEveryOffset) {
  const std::string jis =
      "a\x1B$B\x24\x22\x24\x24\x1B(I\x31\x32\x1B(B\r\n\x0E\x33\x0F"
      "b"
      "\x1B$(D\x22\x2F\x1B(J~\x1B$@\x30\x21\x1B(B";
  const std::string whole_s = Convert("Js", jis);
  EXPECT_EQ(Convert("Sj", whole_s),
            "a\x1B$B\x24\x22\x24\x24\x1B(I\x31\x32\x1B(B\r\n"
            "\x1B(I\x33\x1B(Bb\x1B$B\x22\x2E\x1B(B~\x1B$B\x30\x21\x1B(B");
  for (std::size_t n = 0; n <= jis.size(); ++n) {
    SCOPED_TRACE(n);
    const std::string s = Convert("Js", jis.substr(0, n));
    // The converted prefix agrees with the whole text up to the character that was cut.
    const std::size_t agree = std::min(s.size(), whole_s.size());
    std::size_t same = 0;
    while (same < agree && s[same] == whole_s[same]) {
      ++same;
    }
    EXPECT_GE(same + 6, s.size()) << Hex(s);
    EXPECT_TRUE(JisBackInAsciiAtLineEnds(Convert("Jj", jis.substr(0, n))));
    EXPECT_TRUE(JisBackInAsciiAtLineEnds(Convert("Sj", whole_s.substr(0, n))));
  }
}

}  // namespace
}  // namespace codec_test
