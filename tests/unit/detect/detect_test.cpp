// Detection of the input's code. Texts are written here in UTF-8 and put into the other codes by
// glibc's iconv, so the tests do not share the engine's idea of any code.
#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "convert.h"
#include "detect.h"
#include "detect_report.h"

namespace {

using nkf::Code;
using nkf::DetectReport;

const char* Name(Code c) {
  switch (c) {
    case Code::kShiftJis:
      return "Shift_JIS";
    case Code::kJis:
      return "ISO-2022-JP";
    case Code::kEucJp:
      return "EUC-JP";
    case Code::kUtf8:
      return "UTF-8";
    case Code::kUtf16Le:
      return "UTF-16LE";
    case Code::kUtf16Be:
      return "UTF-16BE";
  }
  return "?";
}

// What iconv calls each code: Windows' Shift_JIS, EUC-JP with the NEC rows.
const char* IconvName(Code c) {
  switch (c) {
    case Code::kShiftJis:
      return "CP932";
    case Code::kJis:
      return "ISO-2022-JP";
    case Code::kEucJp:
      return "EUC-JP-MS";
    case Code::kUtf16Le:
      return "UTF-16LE";
    case Code::kUtf16Be:
      return "UTF-16BE";
    default:
      return "UTF-8";
  }
}

std::string Encode(std::string_view utf8, Code to) {
  iconv_t cd = iconv_open(IconvName(to), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv lacks " << IconvName(to);
    return {};
  }
  std::string out(utf8.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(utf8.data());
  std::size_t src_left = utf8.size();
  char* dst = out.data();
  std::size_t dst_left = out.size();
  const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv(cd, nullptr, nullptr, &dst, &dst_left);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<std::size_t>(-1)) << IconvName(to) << " cannot hold " << utf8;
  out.resize(out.size() - dst_left);
  return out;
}

Code Detect(std::string_view bytes) {
  return nkf::DetectCode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

DetectReport Report(std::string_view bytes) {
  return nkf::DetectCodeReport(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string Hex(std::string_view bytes) {
  std::string s;
  char buf[4];
  for (const char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
    s += buf;
  }
  return s;
}

// Conversion with detection, as the program asks for it.
std::string ConvertDetected(std::string_view in, Code to) {
  return nkf::Convert(nkf::Options{std::nullopt, to}, in);
}

struct TextCase {
  const char* what;
  const char* text;  // UTF-8
  Code code;         // written in this code; detection must give it back
};

// Short texts where more than one code reads the bytes without error, so only the score
// decides, and texts that are mostly ASCII.
const TextCase kHardCases[] = {
    // Half-width kana in Shift_JIS are all A1..DF, which EUC-JP reads as kanji.
    {"half-width kana, EUC-JP reads 筑粟", "ﾃﾞｰﾀ", Code::kShiftJis},
    {"half-width kana, EUC-JP reads 箕荷", "ﾌｧｲﾙ", Code::kShiftJis},
    {"half-width kana with a voiced mark", "ﾊﾟｽﾜｰﾄﾞ", Code::kShiftJis},
    {"half-width kana in a line", "ｴﾗｰ: ﾌｧｲﾙがありません", Code::kShiftJis},
    {"half-width kana among ASCII", "OK ｷｬﾝｾﾙ", Code::kShiftJis},
    // EUC-JP kanji whose bytes Shift_JIS reads as half-width kana and kanji of lead E0..EF.
    {"EUC-JP kanji, Shift_JIS reads ﾂ邉ﾘ", "大学", Code::kEucJp},
    {"EUC-JP kanji, Shift_JIS reads ｲﾒ..", "会社", Code::kEucJp},
    {"EUC-JP kanji, Shift_JIS reads ﾉｽｼｨ", "表示", Code::kEucJp},
    {"EUC-JP kanji, Shift_JIS reads ﾊﾝﾂｸ", "保存", Code::kEucJp},
    {"EUC-JP kana, Shift_JIS reads half-width kana", "ファイル", Code::kEucJp},
    {"EUC-JP hiragana", "これは", Code::kEucJp},
    // Shift_JIS with leads E0..EF: every byte also in EUC-JP's range.
    {"Shift_JIS lead E0..EF with half-width kana", "珈琲ｺｰﾋｰ", Code::kShiftJis},
    // A few characters.
    {"one hiragana", "あ", Code::kShiftJis},
    {"one hiragana", "あ", Code::kEucJp},
    {"one hiragana", "あ", Code::kUtf8},
    {"one kanji", "漢", Code::kShiftJis},
    {"one kanji", "漢", Code::kUtf8},
    {"two kanji", "日本", Code::kShiftJis},
    {"two kanji", "日本", Code::kEucJp},
    {"two kanji", "日本", Code::kUtf8},
    {"two kanji", "日本", Code::kJis},
    {"full-width punctuation", "「」", Code::kShiftJis},
    {"NEC special characters", "①②", Code::kShiftJis},
    {"IBM extension kanji", "髙﨑", Code::kShiftJis},
    {"IBM extension kanji", "髙﨑", Code::kUtf8},
    // Mostly ASCII with a few Japanese words.
    {"source code", "int main(void) {\n  return 0;  // 終了\n}\n", Code::kShiftJis},
    {"source code", "int main(void) {\n  return 0;  // 終了\n}\n", Code::kEucJp},
    {"source code", "int main(void) {\n  return 0;  // 終了\n}\n", Code::kUtf8},
    {"source code", "int main(void) {\n  return 0;  // 終了\n}\n", Code::kJis},
    {"log line", "2024-01-01 12:00:00 [INFO] 開始\n", Code::kEucJp},
    {"log line", "2024-01-01 12:00:00 [INFO] 開始\n", Code::kShiftJis},
    {"csv", "id,name,price\n1,りんご,100\n2,みかん,80\n", Code::kShiftJis},
    {"csv", "id,name,price\n1,りんご,100\n2,みかん,80\n", Code::kEucJp},
    {"csv", "id,name,price\n1,りんご,100\n2,みかん,80\n", Code::kUtf8},
};

TEST(Detect, ShortAndMostlyAsciiTextsKnownToBeHard) {
  for (const TextCase& c : kHardCases) {
    const std::string bytes = Encode(c.text, c.code);
    SCOPED_TRACE(std::string(c.what) + " in " + Name(c.code) + ": " + Hex(bytes));
    EXPECT_STREQ(Name(Detect(bytes)), Name(c.code));
  }
}

// Real sentences cut after every character: once three Japanese characters are in, detection
// names the code, and converting with the detected code gives back the text.
TEST(Detect, EveryPrefixOfSentences) {
  const char* const kSentences[] = {
      "ファイル \"%s\" を開けません: %s\n",
      "このプログラムはフリーソフトウェアです。",
      "設定ファイル /etc/quillora.conf を読み込みました（3 件）。",
      "ｺﾝﾋﾟｭｰﾀの設定を変更しました。",
      "① 株式会社ｱｲｳ ㈱ Ⅹ の髙﨑さん",
      "--help     この使い方を表示して終了する\n",
  };
  for (const char* s : kSentences) {
    const std::string text(s);
    for (const Code code : {Code::kShiftJis, Code::kEucJp, Code::kUtf8}) {
      int japanese = 0;
      for (std::size_t end = 1; end <= text.size(); ++end) {
        if (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
          continue;  // not a character boundary
        }
        japanese += static_cast<unsigned char>(text[end - 1]) >= 0x80;
        if (japanese < 3) {
          continue;
        }
        const std::string prefix = text.substr(0, end);
        const std::string bytes = Encode(prefix, code);
        SCOPED_TRACE(prefix + " in " + Name(code) + ": " + Hex(bytes));
        EXPECT_STREQ(Name(Detect(bytes)), Name(code));
        EXPECT_EQ(ConvertDetected(bytes, Code::kUtf8), prefix);
      }
    }
  }
}

struct ByteCase {
  const char* bytes;
  std::size_t size;
  DetectReport::Reading reading;
  bool possible;
};

#define BYTES(s) s, sizeof(s) - 1

// Which byte sequences each reading refuses. A refused sequence does not rule its code out
// alone (a stray bad byte must not flip a long file), but it is counted and costs.
TEST(Detect, EachCodesImpossibleBytes) {
  constexpr auto kSjis = DetectReport::kReadShiftJis;
  constexpr auto kEuc = DetectReport::kReadEucJp;
  constexpr auto kUtf8 = DetectReport::kReadUtf8;
  const ByteCase kCases[] = {
      {BYTES("\x80"), kSjis, false},
      {BYTES("\xA0"), kSjis, false},
      {BYTES("\xFD"), kSjis, false},
      {BYTES("\xFE"), kSjis, false},
      {BYTES("\xFF"), kSjis, false},
      {BYTES("\x81\x20"), kSjis, false},  // trail below 0x40
      {BYTES("\x81\x7F"), kSjis, false},
      {BYTES("\x81\xFD"), kSjis, false},
      {BYTES("\x81"), kSjis, false},      // lead at the end
      {BYTES("\x85\x40"), kSjis, false},  // a row code page 932 leaves empty
      {BYTES("\x81\x40"), kSjis, true},
      {BYTES("\x88\x9F"), kSjis, true},
      {BYTES("\xA1\xDF"), kSjis, true},
      {BYTES("\x87\x40"), kSjis, true},  // NEC row 13
      {BYTES("\xED\x40"), kSjis, true},  // NEC-selected IBM extension
      {BYTES("\xFC\x4B"), kSjis, true},  // IBM extension
      {BYTES("\x80"), kEuc, false},
      {BYTES("\x8D"), kEuc, false},
      {BYTES("\x90"), kEuc, false},
      {BYTES("\xA0"), kEuc, false},
      {BYTES("\xFF"), kEuc, false},
      {BYTES("\x82\xA0"), kEuc, false},  // Shift_JIS hiragana
      {BYTES("\xA4\x41"), kEuc, false},  // trail in ASCII
      {BYTES("\xA4"), kEuc, false},
      {BYTES("\x8E\xE0"), kEuc, false},  // beyond half-width kana
      {BYTES("\x8F\xB0"), kEuc, false},  // JIS X 0212 cut short
      {BYTES("\xA9\xA1"), kEuc, false},  // empty row 9
      {BYTES("\xA4\xA2"), kEuc, true},
      {BYTES("\x8E\xB1"), kEuc, true},
      {BYTES("\x8F\xB0\xA1"), kEuc, true},
      {BYTES("\xAD\xA1"), kEuc, true},  // NEC row 13
      {BYTES("\xC0\x80"), kUtf8, false},
      {BYTES("\xC1\xBF"), kUtf8, false},
      {BYTES("\x80"), kUtf8, false},
      {BYTES("\xE0\x80\x80"), kUtf8, false},  // overlong
      {BYTES("\xED\xA0\x80"), kUtf8, false},  // surrogate
      {BYTES("\xE3\x81"), kUtf8, false},      // cut short
      {BYTES("\xF4\x90\x80\x80"), kUtf8, false},
      {BYTES("\xF5\x80\x80\x80"), kUtf8, false},
      {BYTES("\xE3\x81\x82"), kUtf8, true},
      {BYTES("\xF0\x9F\x98\x80"), kUtf8, true},
      {BYTES("\xEF\xBF\xBD"), kUtf8, true},
      {BYTES("\xC2\xA9"), kUtf8, true},
  };
  for (const ByteCase& c : kCases) {
    const std::string_view bytes(c.bytes, c.size);
    SCOPED_TRACE(Hex(bytes) + "as reading " + std::to_string(c.reading));
    const DetectReport r = Report(bytes);
    EXPECT_EQ(r.basis, DetectReport::kScore);
    EXPECT_EQ(r.errors[c.reading] == 0, c.possible);
  }
}

// Where the impossible bytes decide: the one code that reads the text without error wins even
// when the others' readings are short.
TEST(Detect, TheOnlyCodeWithoutErrorsWins) {
  const struct {
    std::string_view bytes;
    Code code;
  } kCases[] = {
      {"\x82\xA0", Code::kShiftJis},       // あ; EUC-JP has no 0x82, UTF-8 no lone 0x82
      {"\xA4\xA2\xA4\xA4", Code::kEucJp},  // あい; Shift_JIS reads ､｢､､ without error, though
      {"\xE3\x81\x82", Code::kUtf8},       // あ; Shift_JIS ends inside a pair
      {"\x8E\xB1\x8E\xB2", Code::kEucJp},  // EUC-JP's ｱｲ; Shift_JIS reads two odd kanji
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Hex(c.bytes));
    EXPECT_STREQ(Name(Detect(c.bytes)), Name(c.code));
  }
}

TEST(Detect, ByteOrderMarks) {
  const struct {
    std::string_view bytes;
    Code code;
    DetectReport::Basis basis;
  } kCases[] = {
      {"\xFF\xFE", Code::kUtf16Le, DetectReport::kBom},
      {"\xFE\xFF", Code::kUtf16Be, DetectReport::kBom},
      {"\xFF\xFE\x42\x30", Code::kUtf16Le, DetectReport::kBom},
      {"\xFE\xFF\x30\x42", Code::kUtf16Be, DetectReport::kBom},
      {"\xEF\xBB\xBF", Code::kUtf8, DetectReport::kBom},
      // A UTF-8 mark outweighs what follows, even bytes that only Shift_JIS could read.
      {"\xEF\xBB\xBF\x82\xA0\x82\xA2", Code::kUtf8, DetectReport::kBom},
      // Half a mark is no mark (the code is then the score's, and no UTF-16).
      {"\xEF\xBB", Code::kEucJp, DetectReport::kScore},
      {"\xFE", Code::kUtf8, DetectReport::kScore},
      // UTF-16 without a mark is not recognised: its bytes are read as they stand.
      {std::string_view("a\0b\0", 4), Code::kShiftJis, DetectReport::kAscii},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Hex(c.bytes));
    const DetectReport r = Report(c.bytes);
    EXPECT_STREQ(Name(r.code), Name(c.code));
    EXPECT_EQ(r.basis, c.basis);
  }
}

// A file saved as "Unicode" by a Windows editor converts into every code.
TEST(Detect, Utf16WithMarkConvertsIntoEveryCode) {
  const std::string text = "日本語のテキスト abc\r\n①髙\r\n";
  for (const Code from : {Code::kUtf16Le, Code::kUtf16Be}) {
    const std::string mark = from == Code::kUtf16Le ? "\xFF\xFE" : "\xFE\xFF";
    const std::string in = mark + Encode(text, from);
    for (const Code to : {Code::kShiftJis, Code::kEucJp, Code::kJis, Code::kUtf8}) {
      SCOPED_TRACE(std::string(Name(from)) + " to " + Name(to));
      const std::string out = ConvertDetected(in, to);
      if (to == Code::kUtf8) {
        // The mark stays a mark in the one code that has one.
        EXPECT_EQ(out, "\xEF\xBB\xBF" + text);
      } else if (to == Code::kEucJp) {
        // Back through the same code: iconv and the engine may pick other twins of ①髙.
        EXPECT_EQ(nkf::Convert(nkf::Options{Code::kEucJp, Code::kUtf8}, out), text);
      } else if (to == Code::kJis) {
        EXPECT_EQ(nkf::Convert(nkf::Options{Code::kJis, Code::kUtf8}, out), text);
      } else {
        EXPECT_EQ(out, Encode(text, to));
      }
    }
  }
}

TEST(Detect, Utf16BeyondTheBmpAndCutShort) {
  // U+1F600 as a surrogate pair, then half a unit at the end.
  const std::string le("\xFF\xFE\x3D\xD8\x00\xDE\x41\x00\x42", 9);
  EXPECT_EQ(ConvertDetected(le, Code::kUtf8),
            "\xEF\xBB\xBF\xF0\x9F\x98\x80"
            "A\xEF\xBF\xBD");
  const std::string be("\xFE\xFF\xD8\x3D\xDE\x00\x00\x41", 8);
  EXPECT_EQ(ConvertDetected(be, Code::kUtf8),
            "\xEF\xBB\xBF\xF0\x9F\x98\x80"
            "A");
  // No Shift_JIS character holds it: the GETA MARK.
  EXPECT_EQ(ConvertDetected(be, Code::kShiftJis),
            "\x81\xAC"
            "A");
}

// Text without a byte above 0x7F reads the same in every code, so it must come out as it went
// in, whatever the detector names: control bytes, escapes that designate no Japanese set.
// ISO-2022-JP output is the exception for ESC, SO and SI, which its encoder does not let
// through alone (they would change the meaning of what follows).
TEST(Detect, PureAsciiComesOutUnchangedInEveryCode) {
  std::string all;
  for (int b = 0; b < 0x80; ++b) {
    all += static_cast<char>(b);
  }
  std::string no_shifts;
  for (const char c : all) {
    if (c != 0x0E && c != 0x0F && c != 0x1B) {
      no_shifts += c;
    }
  }
  const std::string kCases[] = {
      all,
      no_shifts,
      "plain text\r\nwith CRLF\r\n",
      "\x1B[31mred\x1B[0m and \x1B(B and \x1B(J and ESC at the end \x1B",
      std::string(100000, 'x') + "\n",
  };
  for (const std::string& in : kCases) {
    SCOPED_TRACE(Hex(in.substr(0, 40)));
    EXPECT_EQ(Report(in).basis, DetectReport::kAscii);
    for (const Code to : {Code::kShiftJis, Code::kEucJp, Code::kUtf8}) {
      EXPECT_EQ(ConvertDetected(in, to), in) << Name(to);
    }
    if (in.find_first_of("\x0E\x0F\x1B") == std::string::npos) {
      EXPECT_EQ(ConvertDetected(in, Code::kJis), in);
    }
  }
}

TEST(Detect, SevenBitTextWithJapaneseEscapesIsJis) {
  EXPECT_STREQ(Name(Detect("\x1B$B$\"\x1B(B")), "ISO-2022-JP");
  EXPECT_STREQ(Name(Detect("\x1B$@$\"\x1B(B")), "ISO-2022-JP");
  EXPECT_STREQ(Name(Detect("abc \x1B(I1\x1B(B")), "ISO-2022-JP");  // half-width kana
  EXPECT_EQ(Report("\x1B$B$\"\x1B(B").basis, DetectReport::kEscapes);
}

// Escapes and 8-bit bytes together: whichever there is more of decides.
TEST(Detect, EscapesAgainstEightBitBytes) {
  const std::string jis = Encode("日本語の文です。\nもう一行。\n", Code::kJis);
  // A stray half-width kana byte (JIS8 style) in JIS text.
  EXPECT_STREQ(Name(Detect(jis + "\xB1" + jis)), "ISO-2022-JP");
  // Shift_JIS text that quotes one escape, as a terminal log might.
  const std::string sjis = Encode("端末の出力をそのまま保存したファイルです。", Code::kShiftJis);
  EXPECT_STREQ(Name(Detect(sjis + "\x1B$B" + sjis)), "Shift_JIS");
}

// A code that shows itself only after a megabyte of ASCII is still found, for every code.
TEST(Detect, CodeThatAppearsAfterAMegabyteOfAscii) {
  std::string ascii;
  while (ascii.size() < (1u << 20)) {
    ascii += "The quick brown fox jumps over the lazy dog. 0123456789\n";
  }
  const std::string tail = "最後にだけ日本語の行があります。ｶﾀｶﾅも\n";
  for (const Code code : {Code::kShiftJis, Code::kEucJp, Code::kUtf8, Code::kJis}) {
    SCOPED_TRACE(Name(code));
    const std::string in = ascii + Encode(code == Code::kJis ? "最後にだけ日本語" : tail, code);
    EXPECT_STREQ(Name(Detect(in)), Name(code));
    if (code != Code::kJis) {
      EXPECT_EQ(ConvertDetected(in, Code::kUtf8), ascii + tail);
    }
  }
}

// The ASCII scan steps 8, 64 or 128 bytes at a time: evidence is seen wherever it falls.
TEST(Detect, EvidenceAtEveryOffsetOfAsciiIsSeen) {
  const std::string ascii(400, 'a');
  for (std::size_t at = 0; at <= 300; ++at) {
    SCOPED_TRACE(at);
    const std::string before = ascii.substr(0, at), after = ascii.substr(0, 300 - at);
    EXPECT_STREQ(Name(Detect(before + "\x82\xA0" + after)), "Shift_JIS");
    EXPECT_STREQ(Name(Detect(before + "\xA4\xA2\xA4\xA4" + after)), "EUC-JP");
    EXPECT_STREQ(Name(Detect(before + "\xE3\x81\x82" + after)), "UTF-8");
    EXPECT_STREQ(Name(Detect(before + "\x1B$B$\"\x1B(B" + after)), "ISO-2022-JP");
  }
}

// Detection that skips a known ASCII start gives DetectCode's answer, wherever the start ends.
TEST(Detect, SkippingAKnownAsciiStartGivesTheSameAnswer) {
  const std::string ascii = "Log of 2024-01-01\n\tstatus: ";
  for (const Code code : {Code::kShiftJis, Code::kEucJp, Code::kUtf8, Code::kJis}) {
    for (const char* text : {"ﾃﾞｰﾀ", "大学", "ok", "完了しました。\n"}) {
      if (code == Code::kJis && text[0] == '\xEF') {
        continue;  // iconv's ISO-2022-JP has no half-width kana
      }
      const std::string in = ascii + Encode(text, code);
      const auto* p = reinterpret_cast<const unsigned char*>(in.data());
      std::size_t end = 0;
      while (end < in.size() && p[end] < 0x80 && p[end] != 0x1B) {
        ++end;
      }
      for (std::size_t prefix = 0; prefix <= end; ++prefix) {
        SCOPED_TRACE(Hex(in) + "after " + std::to_string(prefix));
        EXPECT_EQ(nkf::DetectCodeAfterAscii(p, in.size(), prefix), Detect(in));
      }
    }
  }
}

// Once one reading is far ahead the scan stops: a long file costs no more than its start.
TEST(Detect, LongTextIsDecidedEarlyAndForGood) {
  const std::string line = "このファイルは長い日本語の文章です。同じ行が何度も続きます。\n";
  std::string text;
  while (text.size() < 200000) {
    text += line;
  }
  for (const Code code : {Code::kShiftJis, Code::kEucJp, Code::kUtf8}) {
    SCOPED_TRACE(Name(code));
    const std::string bytes = Encode(text, code);
    const DetectReport r = Report(bytes);
    EXPECT_STREQ(Name(r.code), Name(code));
    EXPECT_TRUE(r.decided_early);
    EXPECT_LT(r.examined, 2048u);
  }
  // What follows the decision does not change it: Shift_JIS, then a whole EUC-JP file.
  const std::string mixed =
      Encode(line + line + line, Code::kShiftJis) + Encode(text, Code::kEucJp);
  EXPECT_STREQ(Name(Detect(mixed)), "Shift_JIS");
}

// A stray invalid byte in a long file does not turn the file into another code.
TEST(Detect, OneBadByteInALongFileKeepsItsCode) {
  std::string text;
  for (int i = 0; i < 20; ++i) {
    text += "設定ファイルを読み込みました。次の処理に進みます。\n";
  }
  for (const Code code : {Code::kShiftJis, Code::kEucJp, Code::kUtf8}) {
    SCOPED_TRACE(Name(code));
    std::string bytes = Encode(text, code);
    bytes.insert(bytes.size() / 2, "\xFF");
    EXPECT_STREQ(Name(Detect(bytes)), Name(code));
  }
}

// Random bytes drawn from the values that matter to some reading, in buffers of exactly their
// size (so that the sanitizer build sees any read past the end), every length up to 64.
TEST(Detect, ArbitraryBytesAreReadWithinTheirBuffer) {
  const unsigned char kBytes[] = {0x00, 0x1B, '$',  '(',  'B',  'I',  'D',  '@',  0x40, 0x7F,
                                  0x80, 0x81, 0x8E, 0x8F, 0x9F, 0xA0, 0xA1, 0xB0, 0xC2, 0xDF,
                                  0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF4, 0xFC, 0xFD, 0xFE, 0xFF};
  std::mt19937 rng(20240101);
  for (int round = 0; round < 4000; ++round) {
    const std::size_t size = static_cast<std::size_t>(round % 65);
    auto buffer = std::make_unique<unsigned char[]>(size);
    for (std::size_t i = 0; i < size; ++i) {
      buffer[i] = kBytes[rng() % sizeof kBytes];
    }
    const DetectReport r = nkf::DetectCodeReport(buffer.get(), size);
    ASSERT_LE(r.examined, size);
    for (int k = 0; k < DetectReport::kReadingCount; ++k) {
      ASSERT_GE(r.errors[k], 0);
      ASSERT_GE(r.cost[k], r.errors[k] * nkf::kDetectErrorCost);
    }
  }
}

TEST(Detect, EmptyInput) {
  EXPECT_EQ(Report("").basis, DetectReport::kAscii);
  EXPECT_EQ(ConvertDetected("", Code::kUtf8), "");
}

}  // namespace
