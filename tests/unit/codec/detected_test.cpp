// Conversion without an input letter: the code is detected, and the leading ASCII is copied
// before detection looks at the rest. The output must be what naming the detected code gives.
#include <string>
#include <vector>

#include "convert.h"
#include "detect.h"
#include "support.h"

namespace codec_test {
namespace {

using namespace std::string_literals;

// The letter naming c as the input code; UTF-16 has none.
const char* InputLetter(nkf::Code c) {
  switch (c) {
    case nkf::Code::kShiftJis:
      return "S";
    case nkf::Code::kJis:
      return "J";
    case nkf::Code::kEucJp:
      return "E";
    case nkf::Code::kUtf8:
      return "W";
    default:
      return nullptr;
  }
}

nkf::Code Detected(const std::string& in) {
  return nkf::DetectCode(reinterpret_cast<const unsigned char*>(in.data()), in.size());
}

// ASCII of the given length, with line ends and every printable byte, none of them a shift.
std::string Ascii(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; s.size() < n; ++i) {
    s += i % 61 == 60 ? '\n' : static_cast<char>(' ' + i % 95);
  }
  return s;
}

// Lengths that end the ASCII before, inside and after each block the copy takes at once.
constexpr std::size_t kPrefixes[] = {0, 1, 7, 8, 15, 31, 32, 33, 63, 64, 65, 127, 128, 129, 5000};

struct Tail {
  const char* name;
  std::string bytes;
};

const Tail kTails[] = {
    {"nothing: pure ASCII", ""},
    {"Shift_JIS", "\x82\xA0\x82\xA2\x8A\xBF\x8E\x9A\xB1\r\n"},
    {"EUC-JP", "\xA4\xA2\xA4\xA4\xB4\xC1\xBB\xFA\x8E\xB1\r\n"},
    {"UTF-8", "\xE3\x81\x82\xE3\x81\x84\xE6\xBC\xA2\xE5\xAD\x97\r\n"},
    {"JIS with its escapes", "\x1B$B\x24\x22\x24\x24\x34\x41\x1B(B\r\nz"},
    {"JIS half-width katakana by SO and SI", "\x0E\x31\x32\x0F!"},
    {"ESC in ASCII", "\x1B[0m plain"},
    {"lone SO", "\x0Ex"},
    {"lone SI", "\x0Fx"},
    {"ESC then Shift_JIS", "\x1B\x82\xA0"},
    {"SO then EUC-JP", "\x0E\xA4\xA2"},
    {"UTF-8 byte-order mark then UTF-8", "\xEF\xBB\xBF\xE3\x81\x82\xE6\xBC\xA2"},
    {"UTF-16LE byte-order mark", "\xFF\xFE\x42\x30"},
    {"UTF-16BE byte-order mark", "\xFE\xFF\x30\x42"},
    {"invalid bytes", "\x80\xFF\xFD"},
};

TEST(Detected, ConvertsAsTheDetectedCodeNamed) {
  for (const Tail& tail : kTails) {
    for (const std::size_t n : kPrefixes) {
      const std::string in = Ascii(n) + tail.bytes;
      const char* from = InputLetter(Detected(in));
      if (from == nullptr) {
        continue;  // UTF-16, detected from a mark at the start: below
      }
      for (const char* to : {"s", "e", "j", "w"}) {
        SCOPED_TRACE(std::string(tail.name) + ", " + std::to_string(n) + " ASCII bytes, " + from +
                     to);
        // Convert checks the size probe, one byte short and the exact size, with guard bytes.
        EXPECT_EQ(Hex(Convert(to, in)), Hex(Convert((from + std::string(to)).c_str(), in)));
      }
    }
  }
}

// Shifts are no ASCII to ISO-2022-JP, so they end the copied start wherever they are: early,
// or after thousands of bytes. In ISO-2022-JP output they become GETA MARKs, not themselves.
TEST(Detected, ShiftsInAsciiAreConvertedNotCopied) {
  const std::string geta_j = "\x1B$B\x22\x2E\x1B(B";
  for (const std::size_t n : kPrefixes) {
    for (const char shift : {'\x1B', '\x0E', '\x0F'}) {
      SCOPED_TRACE(std::to_string(n) + " " + Hex(std::string(1, shift)));
      const std::string in = Ascii(n) + shift + "tail" + shift + Ascii(40);
      EXPECT_EQ(Convert("j", in), Ascii(n) + geta_j + "tail" + geta_j + Ascii(40));
      EXPECT_EQ(Convert("s", in), in);
    }
  }
}

// After ASCII, EF BB BF and FF FE are no byte-order marks: nothing of them is dropped, and
// FF FE does not make the text UTF-16. At the very start they are marks, kept in UTF-8 output
// and dropped in the others.
TEST(Detected, MarksCountOnlyAtTheStart) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(Convert("s", bom + "\xE3\x81\x82"), "\x82\xA0");
  EXPECT_EQ(Convert("w", bom + "\xE3\x81\x82"), bom + "\xE3\x81\x82");
  EXPECT_EQ(Convert("s", "a" + bom + "\xE3\x81\x82"), "a\x81\xAC\x82\xA0");  // U+FEFF: a GETA
  EXPECT_EQ(Convert("w", "a" + bom + "\xE3\x81\x82"), "a" + bom + "\xE3\x81\x82");
  EXPECT_EQ(Convert("s", "\xFF\xFE\x42\x30"s), "\x82\xA0");
  EXPECT_EQ(Convert("w", "\xFF\xFE\x42\x30"s), bom + "\xE3\x81\x82");
  EXPECT_EQ(Convert("s", "\xFE\xFF\x30\x42"s), "\x82\xA0");
  EXPECT_EQ(Convert("w", "\xFE\xFF\x30\x42"s), bom + "\xE3\x81\x82");
  EXPECT_EQ(Convert("w", "a\xFF\xFE\x42\x30"s), Convert("Sw", "a\xFF\xFE\x42\x30"s));
  EXPECT_NE(Convert("w", "a\xFF\xFE\x42\x30"s), "a\xE3\x81\x82");
}

// Every capacity, including ones that end inside the copied ASCII: the result is the whole
// size, the buffer holds the output's beginning and nothing past capacity is written.
TEST(Detected, EveryCapacityWithinAndAfterTheAscii) {
  const nkf::Options to_jis{std::nullopt, nkf::Code::kJis};
  const nkf::Options to_utf8{std::nullopt, nkf::Code::kUtf8};
  for (const std::string& in : {Ascii(70) + "\x82\xA0\x82\xA2z", Ascii(70), "\x82\xA0"s + Ascii(70),
                                Ascii(3) + "\x0E" + Ascii(66)}) {
    for (const nkf::Options& options : {to_jis, to_utf8}) {
      const std::string whole = nkf::Convert(options, in);
      SCOPED_TRACE(Hex(in));
      for (std::size_t capacity = 0; capacity <= whole.size() + 1; ++capacity) {
        std::vector<unsigned char> buffer(capacity + kGuardSize, kGuard);
        const std::size_t n =
            nkf::Convert(options, reinterpret_cast<const unsigned char*>(in.data()), in.size(),
                         capacity == 0 ? nullptr : buffer.data(), capacity);
        ASSERT_EQ(n, whole.size()) << capacity;
        const std::size_t kept = std::min(n, capacity);
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept)),
                  whole.substr(0, kept))
            << capacity;
        for (std::size_t i = kept; i < buffer.size(); ++i) {
          ASSERT_EQ(buffer[i], kGuard) << "capacity " << capacity << ", byte " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace codec_test
