// Every character of code page 932 and of EUC-JP, against glibc's iconv and the charmap the
// tables were made from.
#include <cstdio>
#include <map>
#include <regex>
#include <set>

#include "support.h"

namespace codec_test {
namespace {

unsigned Code(std::string_view bytes) {
  unsigned v = 0;
  for (const char c : bytes) {
    v = v << 8 | static_cast<unsigned char>(c);
  }
  return v;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string all;
  for (const std::string& p : parts) {
    all += p;
  }
  return all;
}

class Cp932 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { chars_ = new std::vector<std::string>(Cp932Characters()); }
  static void TearDownTestSuite() { delete chars_; }
  static const std::vector<std::string>& Chars() { return *chars_; }

 private:
  static std::vector<std::string>* chars_;
};
std::vector<std::string>* Cp932::chars_ = nullptr;

TEST_F(Cp932, HasTheCharactersOfWindows) {
  // 63 half-width katakana; 7724 two-byte codes of JIS X 0208 as Windows has it, NEC row 13,
  // NEC-selected and IBM extensions; 1880 user-defined.
  EXPECT_EQ(Chars().size(), 63u + 7724u + 1880u);
}

TEST_F(Cp932, DecodesAsIconvDoes) {
  for (const std::string& c : Chars()) {
    EXPECT_EQ(Convert("Sw", c), Iconv("CP932", "UTF-8", c).value()) << Hex(c);
  }
}

TEST_F(Cp932, EncodesAsIconvDoes) {
  // iconv writes the code Windows prefers where a character has several.
  for (const std::string& c : Chars()) {
    const std::string utf8 = Convert("Sw", c);
    EXPECT_EQ(Convert("Ws", utf8), Iconv("UTF-8", "CP932", utf8).value()) << Hex(c);
  }
}

// The codes of code page 932 that hold a character it has at a preferred code as well, and
// where they come back: NEC row 13 copies of row 2, the NEC-selected IBM extensions, IBM copies
// of NEC row 13 and row 2.
TEST_F(Cp932, DuplicatesComeBackAsThePreferredCode) {
  std::map<unsigned, unsigned> expected = {
      {0x8790, 0x81E0}, {0x8791, 0x81DF}, {0x8792, 0x81E7}, {0x8795, 0x81E3}, {0x8796, 0x81DB},
      {0x8797, 0x81DA}, {0x879A, 0x81E6}, {0x879B, 0x81BF}, {0x879C, 0x81BE}, {0xFA54, 0x81CA},
      {0xFA58, 0x878A}, {0xFA59, 0x8782}, {0xFA5A, 0x8784}, {0xFA5B, 0x81E6}, {0xEEF9, 0x81CA},
  };
  for (unsigned c = 0xFA4A; c <= 0xFA53; ++c) {
    expected[c] = 0x8754 + (c - 0xFA4A);  // Roman numerals I-X
  }
  for (unsigned c = 0xEEEF; c <= 0xEEF8; ++c) {
    expected[c] = 0xFA40 + (c - 0xEEEF);  // small Roman numerals
  }
  expected[0xEEFA] = 0xFA55;
  expected[0xEEFB] = 0xFA56;
  expected[0xEEFC] = 0xFA57;
  std::map<unsigned, unsigned> found;
  std::set<unsigned> nec_selected_kanji;
  for (const std::string& c : Chars()) {
    const unsigned back = Code(Convert("Ws", Convert("Sw", c)));
    if (back != Code(c)) {
      found[Code(c)] = back;
    }
    if (c.size() == 2 && (Code(c) >> 8 == 0xED || Code(c) >> 8 == 0xEE) && Code(c) < 0xEEEF) {
      nec_selected_kanji.insert(Code(c));
      EXPECT_GE(back, 0xFA5Cu) << Hex(c) << " should come back as an IBM extension";
    }
  }
  EXPECT_EQ(nec_selected_kanji.size(), 360u);
  for (const unsigned c : nec_selected_kanji) {
    found.erase(c);
  }
  EXPECT_EQ(found, expected);
}

TEST_F(Cp932, EveryCharacterRoundTripsThroughEachCode) {
  std::vector<std::string> preferred;
  for (const std::string& c : Chars()) {
    preferred.push_back(Convert("Ws", Convert("Sw", c)));
  }
  const std::string sjis = Join(Chars());
  const std::string utf8 = Convert("Sw", sjis);
  for (const char* via : {"j", "e", "w"}) {
    SCOPED_TRACE(via);
    const std::string to = std::string("S") + via;
    const std::string back = std::string(1, static_cast<char>(std::toupper(via[0]))) + "s";
    const std::string to_u = std::string("W") + via;
    const std::string back_u = std::string(1, static_cast<char>(std::toupper(via[0]))) + "w";
    // The whole set at once (JIS keeps its state across characters), then one by one.
    EXPECT_EQ(Convert(back.c_str(), Convert(to.c_str(), sjis)), Join(preferred));
    EXPECT_EQ(Convert(back_u.c_str(), Convert(to_u.c_str(), utf8)), utf8);
    for (std::size_t i = 0; i < Chars().size(); ++i) {
      const std::string& c = Chars()[i];
      ASSERT_EQ(Convert(back.c_str(), Convert(to.c_str(), c)), preferred[i]) << Hex(c);
      const std::string u = Convert("Sw", c);
      ASSERT_EQ(Convert(back_u.c_str(), Convert(to_u.c_str(), u)), u) << Hex(c);
    }
  }
}

TEST_F(Cp932, EucJpCodesAreThoseOfIconvsEucJpMs) {
  for (const std::string& c : Chars()) {
    const std::string utf8 = Convert("Sw", c);
    EXPECT_EQ(Convert("We", utf8), Iconv("UTF-8", "EUC-JP-MS", utf8).value()) << Hex(c);
  }
}

TEST(EucJp, DecodesEveryCodeAsIconvsEucJpMs) {
  std::vector<std::string> codes;
  for (int b = 0xA1; b <= 0xDF; ++b) {
    codes.push_back({'\x8E', static_cast<char>(b)});
  }
  for (int a = 0xA1; a <= 0xFE; ++a) {
    for (int b = 0xA1; b <= 0xFE; ++b) {
      codes.push_back({static_cast<char>(a), static_cast<char>(b)});
      codes.push_back({'\x8F', static_cast<char>(a), static_cast<char>(b)});
    }
  }
  int decoded = 0;
  for (const std::string& c : codes) {
    const std::optional<std::string> oracle = Iconv("EUC-JP-MS", "UTF-8", c);
    const std::string ours = Convert("Ew", c);
    if (oracle) {
      ++decoded;
      EXPECT_EQ(ours, *oracle) << Hex(c);
    } else {
      EXPECT_EQ(ours, "\xEF\xBF\xBD") << Hex(c);
    }
  }
  EXPECT_GT(decoded, 7000 + 6000);
}

// Code page 932 and JIS disagree on six characters; text arriving in either form is written
// alike.
TEST(SecondForms, EncodeToTheSameCode) {
  const std::pair<char32_t, char32_t> forms[] = {{0x301C, 0xFF5E}, {0x2016, 0x2225},
                                                 {0x2212, 0xFF0D}, {0x00A2, 0xFFE0},
                                                 {0x00A3, 0xFFE1}, {0x00AC, 0xFFE2}};
  for (const auto& [jis, windows] : forms) {
    for (const char* options : {"Ws", "We", "Wj"}) {
      SCOPED_TRACE(options);
      const std::string expected = Convert(options, Utf8(windows));
      EXPECT_EQ(Convert(options, Utf8(jis)), expected);
      EXPECT_NE(expected, Convert(options, "\xE3\x80\x93"));  // not the GETA MARK
    }
    // Decoding gives the Windows form.
    EXPECT_EQ(Convert("sw", Convert("Ws", Utf8(jis))), Utf8(windows));
    EXPECT_EQ(Convert("Ew", Convert("We", Utf8(jis))), Utf8(windows));
  }
}

TEST(Charmap, ShiftJisDecodesAsTheCLibrarysCharmap) {
  FILE* f = popen("gzip -dc /usr/share/i18n/charmaps/WINDOWS-31J.gz", "r");
  ASSERT_NE(f, nullptr);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) {
    text.append(buffer, n);
  }
  pclose(f);
  const std::regex line(
      R"(^(?:%IRREVERSIBLE%)?<U([0-9A-F]{4})> +/x([0-9a-f]{2})(?:/x([0-9a-f]{2}))?)",
      std::regex::multiline);
  int lines = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator();
       ++it) {
    std::string bytes(1, static_cast<char>(std::stoi((*it)[2], nullptr, 16)));
    if ((*it)[3].matched) {
      bytes += static_cast<char>(std::stoi((*it)[3], nullptr, 16));
    }
    const char32_t u = static_cast<char32_t>(std::stoul((*it)[1], nullptr, 16));
    EXPECT_EQ(Convert("Sw", bytes), Utf8(u)) << Hex(bytes);
    ++lines;
  }
  EXPECT_EQ(lines, 128 + 63 + 7724 + 1880);
}

}  // namespace
}  // namespace codec_test
