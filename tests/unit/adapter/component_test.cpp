// The adapter over the real conversion component of this tree: the few conversions whose bytes
// are beyond doubt, and one that outgrows the first buffer.
#include <gtest/gtest.h>

#include <string>

#include "conv/Tnkf.h"
#include "platform/Text.h"

namespace quillora {
namespace {

const std::string kSjis = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
const std::string kEuc = "\xC6\xFC\xCB\xDC\xB8\xEC";
const std::string kJis = "\x1B$BF|K\\8l\x1B(B";
const std::string kUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";

TEST(AdapterWithComponent, ConvertsThroughTheRealLibrary) {
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(FromUtf8(QUILLORA_NKF32_PATH)), 0) << ToUtf8(nkf.get_error_message());
  struct Case {
    const char* name;
    std::string input;
    std::string options;
    std::string expected;
  };
  const Case cases[] = {
      {"Shift_JIS to UTF-8", kSjis + "\r\n", "Sw", kUtf8 + "\r\n"},
      {"EUC-JP to JIS", kEuc, "Ej", kJis},
      {"UTF-8 to EUC-JP", kUtf8, "We", kEuc},
      {"JIS to Shift_JIS", kJis, "Js", kSjis},
      {"zero bytes are converted too", std::string("a\0b", 3) + kSjis, "Sw",
       std::string("a\0b", 3) + kUtf8},
      // 600 half-width kana become 1800 bytes of UTF-8, more than the 1201 offered first.
      {"output beyond 2n + 1", std::string(600, '\xB1'), "Sw",
       [] {
         std::string s;
         for (int i = 0; i < 600; ++i)
           s += "\xEF\xBD\xB1";
         return s;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string output;
    ASSERT_EQ(nkf.convert(c.input, output, c.options), 0);
    EXPECT_EQ(output, c.expected);
  }
}

}  // namespace
}  // namespace quillora
