#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {
namespace {

TEST(Text, RoundTripsEveryPlane) {
  const std::u16string text = u"a\u00e9\u65e5\u672c\U0001F600\uFF5E";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"\u65e5"), "\xE6\x97\xA5");
}

TEST(Text, IllFormedInputBecomesReplacement) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string expected;
  };
  const Case cases[] = {
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD"},
      {"surrogate", "\xED\xA0\x80", u"\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
      {"truncated at end", "a\xE6\x97", u"a\uFFFD"},
      {"lone trail", "\x80z", u"\uFFFDz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FromUtf8(c.utf8), c.expected);
  }
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Text, FormatFillsInOrderAndKeepsSurplus) {
  EXPECT_EQ(FormatMessage(u"ファイル %s は開けません。 %s ", {u"/a", u"理由"}),
            u"ファイル /a は開けません。 理由 ");
  EXPECT_EQ(FormatMessage(u"%s and %s", {u"x"}), u"x and %s");
}

TEST(ExceptionTest, CarriesMessageInBothForms) {
  const Exception e(u"指定されたパスが長すぎます");
  EXPECT_EQ(e.Message(), u"指定されたパスが長すぎます");
  EXPECT_STREQ(e.what(), "指定されたパスが長すぎます");
}

}  // namespace
}  // namespace quillora
