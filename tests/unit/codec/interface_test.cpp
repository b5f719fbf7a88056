// The C interface beyond single conversions: the option state, the zero-terminated call and its
// buffer bound, capacities in the middle of long output, the text helpers; and UTF-16 input,
// which only detection reaches.
#include <cctype>
#include <random>

#include "convert.h"
#include "support.h"
#include "text.h"

namespace codec_test {
namespace {

using namespace std::string_literals;

std::string ConvertWithCurrentOptions(std::string_view in) {
  std::vector<char> out(8 * in.size() + 1 + kGuardSize, '\x55');
  std::size_t written = 0;
  EXPECT_EQ(NkfConvertBounded(out.data(), out.size(), &written, in.data(), in.size()), 0);
  return std::string(out.data(), written);
}

TEST(Options, EachCallReplacesTheWholeState) {
  // EUC-JP text that reads differently as Shift_JIS.
  const std::string euc = "\xA4\xA2\xA4\xA4\xA4\xA6";
  const auto* bytes = reinterpret_cast<const unsigned char*>(euc.data());
  nkf::Options detected;
  detected.input = nkf::DetectCode(bytes, euc.size());
  detected.output = nkf::Code::kUtf8;

  ASSERT_EQ(SetNkfOption("Ew"), 0);
  EXPECT_EQ(ConvertWithCurrentOptions(euc), "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86");
  ASSERT_EQ(SetNkfOption("w"), 0);  // no input letter: detected, not the "E" of before
  EXPECT_EQ(ConvertWithCurrentOptions(euc), nkf::Convert(detected, euc));
  ASSERT_EQ(SetNkfOption("E"), 0);  // no output letter: Shift_JIS, not the "w" of before
  EXPECT_EQ(ConvertWithCurrentOptions(euc), "\x82\xA0\x82\xA2\x82\xA4");
  ASSERT_EQ(SetNkfOption(""), 0);
  detected.output = nkf::Code::kShiftJis;
  EXPECT_EQ(ConvertWithCurrentOptions(euc), nkf::Convert(detected, euc));
}

TEST(Options, UnknownLettersAreRefusedAndChangeNothing) {
  ASSERT_EQ(SetNkfOption("Ew"), 0);
  for (const char* bad : {"x", "Sx", "-w", " w", "w ", "Z", "sj8"}) {
    EXPECT_EQ(SetNkfOption(bad), -1) << bad;
  }
  EXPECT_EQ(SetNkfOption(nullptr), -1);
  EXPECT_EQ(ConvertWithCurrentOptions("\xA4\xA2"), "\xE3\x81\x82");
}

TEST(Options, ParseEveryLetter) {
  using nkf::Code;
  const auto parse = [](const char* s) { return nkf::ParseOptions(s).value(); };
  EXPECT_EQ(parse("Sj"), (nkf::Options{Code::kShiftJis, Code::kJis}));
  EXPECT_EQ(parse("Je"), (nkf::Options{Code::kJis, Code::kEucJp}));
  EXPECT_EQ(parse("Ew"), (nkf::Options{Code::kEucJp, Code::kUtf8}));
  EXPECT_EQ(parse("Ws"), (nkf::Options{Code::kUtf8, Code::kShiftJis}));
  EXPECT_EQ(parse("e"), (nkf::Options{std::nullopt, Code::kEucJp}));
  EXPECT_EQ(parse(""), (nkf::Options{std::nullopt, Code::kShiftJis}));
  EXPECT_EQ(parse("SEw"), (nkf::Options{Code::kEucJp, Code::kUtf8}));  // the later letter wins
}

// NkfConvert's buffer is 8 * strlen(in) + 1 bytes; the largest growth is ISO-2022-JP output of
// an invalid byte or a katakana between ASCII.
TEST(NkfConvert, NeverWritesPastEightTimesTheInput) {
  std::vector<std::string> inputs;
  for (int b = 1; b < 256; ++b) {
    inputs.push_back(std::string(1, static_cast<char>(b)));
  }
  for (const std::string unit : {"\x80"
                                 "a",
                                 "\xB1"
                                 "a",
                                 "\x80\xB1",
                                 "\x8E\xB1"
                                 "a",
                                 "\xFF"
                                 "\n",
                                 "\xEE\x8E\xAC"
                                 "a",
                                 "\x8F\xF5\xA1"
                                 "a"}) {
    std::string s;
    for (int i = 0; i < 100; ++i) {
      s += unit;
      if (i < 3 || i == 99) {
        inputs.push_back(s);
      }
    }
  }
  std::size_t largest_ratio_case = 0;
  double largest = 0;
  for (const char* options : {"Sj", "Ej", "Wj", "Jj", "Sw", "Ew", "Jw", "Se", "Ws", "j"}) {
    ASSERT_EQ(SetNkfOption(options), 0);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::string& in = inputs[i];
      const std::size_t capacity = 8 * in.size() + 1;
      std::vector<unsigned char> out(capacity + kGuardSize, kGuard);
      NkfConvert(reinterpret_cast<char*>(out.data()), in.c_str());
      for (std::size_t k = capacity; k < out.size(); ++k) {
        ASSERT_EQ(out[k], kGuard) << options << " " << Hex(in);
      }
      const std::size_t n = std::strlen(reinterpret_cast<const char*>(out.data()));
      ASSERT_LE(n, nkf::MaxOutput(in.size()));
      const double ratio = static_cast<double>(n) / in.size();
      if (ratio > largest) {
        largest = ratio, largest_ratio_case = i;
      }
    }
  }
  // One byte can become eight: an invalid byte in JIS is ESC $ B, the GETA MARK, ESC ( B.
  EXPECT_EQ(largest, 8.0) << Hex(inputs[largest_ratio_case]);
}

TEST(NkfConvert, StopsAtTheFirstZeroByte) {
  ASSERT_EQ(SetNkfOption("Sw"), 0);
  char out[64];
  NkfConvert(out, "a\x82\xA0\0b");
  EXPECT_STREQ(out, "a\xE3\x81\x82");
  NkfConvert(out, "");
  EXPECT_STREQ(out, "");
}

TEST(NkfConvertBounded, RefusesMissingBuffers) {
  ASSERT_EQ(SetNkfOption("Sw"), 0);
  std::size_t written = 99;
  EXPECT_EQ(NkfConvertBounded(nullptr, 10, &written, "a", 1), -1);
  EXPECT_EQ(NkfConvertBounded(nullptr, 0, &written, nullptr, 0), 0);
  EXPECT_EQ(written, 0u);
}

// Long output fills the caller's buffer directly until it is nearly full and then through a
// small local one: every capacity on the way must hold the beginning of the same output.
TEST(NkfConvertBounded, EveryCapacityHoldsTheBeginningOfTheOutput) {
  std::mt19937 random(2);
  const std::string pieces[] = {"a",    "bc\r\n",   "\x82\xA0", "\xB1",
                                "\x80", "\xFB\xFC", "\x88\x9F", "0123456789abcdef0123"};
  std::string in;
  while (in.size() < 9000) {
    in += pieces[random() % std::size(pieces)];
  }
  for (const char* options : {"Sw", "Sj", "Se"}) {
    SCOPED_TRACE(options);
    const std::string whole = Convert(options, in);
    for (std::size_t capacity = 0; capacity <= whole.size() + 1; capacity += 61) {
      std::vector<char> out(capacity + kGuardSize, '\x55');
      std::size_t written = 0;
      const int result = NkfConvertBounded(out.data(), capacity, &written, in.data(), in.size());
      ASSERT_EQ(result, capacity >= whole.size() ? 0 : -1) << capacity;
      ASSERT_EQ(written, whole.size());
      const std::size_t kept = std::min(capacity, whole.size());
      ASSERT_EQ(std::string_view(out.data(), kept), std::string_view(whole).substr(0, kept));
      for (std::size_t k = capacity; k < out.size(); ++k) {
        ASSERT_EQ(out[k], '\x55') << capacity;
      }
    }
  }
}

TEST(Utf16, DecodesBothByteOrders) {
  using nkf::Code;
  struct Case {
    Code input;
    Code output;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {Code::kUtf16Le, Code::kUtf8,
       "\xFF\xFE"
       "A\0\x42\x30"s,
       "\xEF\xBB\xBF"
       "A\xE3\x81\x82"},
      {Code::kUtf16Le, Code::kShiftJis,
       "\xFF\xFE"
       "A\0\x42\x30"s,
       "A\x82\xA0"},
      {Code::kUtf16Be, Code::kShiftJis, "\xFE\xFF\0A\x30\x42"s, "A\x82\xA0"},
      {Code::kUtf16Be, Code::kJis, "\xFE\xFF\x30\x42\0\n"s, "\x1B$B\x24\x22\x1B(B\n"},
      {Code::kUtf16Le, Code::kUtf8, "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
      {Code::kUtf16Le, Code::kEucJp, "\x3D\xD8\x00\xDE"s, "\xA2\xAE"},
      {Code::kUtf16Le, Code::kUtf8,
       "\x3D\xD8"
       "A\0"s,
       "\xEF\xBF\xBD"
       "A"},
      {Code::kUtf16Le, Code::kUtf8,
       "\x00\xDC"
       "A\0"s,
       "\xEF\xBF\xBD"
       "A"},
      {Code::kUtf16Be, Code::kUtf8, "\0A\0"s, "A\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.in));
    EXPECT_EQ(Hex(nkf::Convert(nkf::Options{c.input, c.output}, c.in)), Hex(c.out));
  }
}

// Shift_JIS text for the helpers.
const std::string kFullAbc = "\x82\x60\x82\x61\x82\x62";  // ＡＢＣ
const std::string kIdeographicSpace = "\x81\x40";         // 　
const std::string kGaPaVu = "\x83\x4B\x83\x70\x83\x94";   // ガパヴ
const std::string kMaruA = "\x81\x42\x83\x41";            // 。ア
const std::string kKanjiI = "\x8C\x8E\x82\xA2";           // 月い (trail bytes 0x8E, 0xA2)

TEST(ToHankaku, FullWidthAsciiAndKatakanaBecomeHalfWidth) {
  std::string text = kFullAbc + kIdeographicSpace + kGaPaVu + kMaruA + kKanjiI + "\x80z";
  ToHankaku(text.data());
  EXPECT_EQ(Hex(text.c_str()), Hex("ABC \xB6\xDE\xCA\xDF\xB3\xDE\xA1\xB1" + kKanjiI + "\x80z"));
  char empty[] = "";
  ToHankaku(empty);
  EXPECT_STREQ(empty, "");
}

TEST(ToZenkakuKana, HalfWidthKatakanaBecomeFullWidth) {
  // ｶﾞ ﾊﾟ ｳﾞ ｱﾞ ｡ﾞ, then a kanji and hiragana whose trail bytes look like half-width katakana.
  const std::string in = "\xB6\xDE\xCA\xDF\xB3\xDE\xB1\xDE\xA1\xDE" + kKanjiI + "a";
  const std::string expected = kGaPaVu + "\x83\x41\x81\x4A\x81\x42\x81\x4A" + kKanjiI + "a";
  std::vector<char> out(expected.size() + 1);
  EXPECT_EQ(ToZenkakuKana(out.data(), out.size(), in.c_str()), static_cast<int>(expected.size()));
  EXPECT_EQ(Hex(out.data()), Hex(expected));
  EXPECT_EQ(ToZenkakuKana(out.data(), out.size() - 1, in.c_str()), -1);
  EXPECT_EQ(Hex(nkf::ToHankaku(expected)),
            Hex("\xB6\xDE\xCA\xDF\xB3\xDE\xB1\xDE\xA1\xDE" + kKanjiI + "a"));
}

std::string DecodeBase64(std::string_view text) {
  static const std::string kDigits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0, n = 0;
  for (const char c : text) {
    if (c == '=') {
      break;
    }
    bits = bits << 6 | static_cast<unsigned>(kDigits.find(c));
    n += 6;
    if (n >= 8) {
      n -= 8;
      out += static_cast<char>((bits >> n) & 0xFF);
    }
  }
  return out;
}

TEST(EncodeSubject, WritesIso2022JpEncodedWords) {
  char out[512];
  EXPECT_EQ(EncodeSubject(out, sizeof out, "\x82\xA0"), 30);
  EXPECT_STREQ(out, "=?ISO-2022-JP?B?GyRCJCIbKEI=?=");
  EXPECT_EQ(EncodeSubject(out, sizeof out, "Re: hello"), 9);
  EXPECT_STREQ(out, "Re: hello");
  EXPECT_EQ(EncodeSubject(out, 30, "\x82\xA0"), -1);  // no room for the zero
  EXPECT_EQ(EncodeSubject(out, 31, "\x82\xA0"), 30);
}

TEST(EncodeSubject, SplitsLongSubjectsIntoWordsThatEachEndInAscii) {
  std::string subject = "Re: ";
  for (int i = 0; i < 40; ++i) {
    subject += i % 7 == 0 ? "\xB1" : i % 5 == 0 ? "x" : "\x93\xFA\x96\x7B";  // ｱ x 日本
  }
  const std::string encoded = nkf::EncodeSubject(subject);
  std::string jis;
  int words = 0;
  for (std::size_t at = 0; at < encoded.size();) {
    std::size_t end = encoded.find("\r\n ", at);
    if (end == std::string::npos) {
      end = encoded.size();
    }
    const std::string word = encoded.substr(at, end - at);
    ++words;
    EXPECT_LE(word.size(), 75u);
    ASSERT_EQ(word.rfind("=?ISO-2022-JP?B?", 0), 0u) << word;
    ASSERT_EQ(word.substr(word.size() - 2), "?=");
    const std::string bytes = DecodeBase64(word.substr(16, word.size() - 18));
    EXPECT_TRUE(JisBackInAsciiAtLineEnds(bytes)) << word;
    jis += bytes;
    at = end + 3;
  }
  EXPECT_GT(words, 3);
  EXPECT_EQ(Hex(Convert("Js", jis)), Hex(subject));
}

TEST(GetNkfVersion, NamesTheComponent) {
  const std::string version = GetNkfVersion();
  EXPECT_EQ(version.rfind("nkf32 ", 0), 0u);
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(version[6])));
}

}  // namespace
}  // namespace codec_test
