#include <gtest/gtest.h>

#include <string>

#include "platform/Exception.h"
#include "platform/PathSyntax.h"
#include "platform/Text.h"

namespace quillora {
namespace {

using UnaryOp = std::u16string (PathSyntax::*)(std::u16string_view) const;

struct UnaryCase {
  const char* what;
  UnaryOp op;
  std::u16string path;
  std::u16string expected;
};

void CheckUnary(const PathSyntax& syntax, const UnaryCase* begin, const UnaryCase* end) {
  for (const UnaryCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(std::string(c->what) + " of " + ToUtf8(c->path));
    EXPECT_EQ(ToUtf8((syntax.*c->op)(c->path)), ToUtf8(c->expected));
  }
}

constexpr UnaryOp kDir = &PathSyntax::DirectoryPart;
constexpr UnaryOp kTrail = &PathSyntax::WithTrailingDelimiter;
constexpr UnaryOp kName = &PathSyntax::FileNamePart;
constexpr UnaryOp kExt = &PathSyntax::Extension;
constexpr UnaryOp kBase = &PathSyntax::NameWithoutExtension;

TEST(PathSyntaxWindows, OperationsOfTheRules) {
  const UnaryCase cases[] = {
      {"dir", kDir, u"C:\\in\\a.txt", u"C:\\in"},
      {"dir", kDir, u"C:\\a.txt", u"C:\\"},  // the drive's root keeps its delimiter
      {"dir", kDir, u"C:/a.txt", u"C:/"},
      {"dir", kDir, u"C:/in/a.txt", u"C:/in"},
      {"dir", kDir, u"C:a.txt", u"C:"},
      {"dir", kDir, u"\\a.txt", u"\\"},
      {"dir", kDir, u"\\\\server\\share\\a.txt", u"\\\\server\\share"},
      {"dir", kDir, u"a.txt", u""},
      {"dir", kDir, u"C:\\in\\sub\\", u"C:\\in\\sub"},
      {"trailing", kTrail, u"C:\\in", u"C:\\in\\"},
      {"trailing", kTrail, u"C:\\", u"C:\\"},
      {"trailing", kTrail, u"", u""},
      {"name", kName, u"C:\\in\\a.txt", u"a.txt"},
      {"name", kName, u"C:/in/a.txt", u"a.txt"},
      {"name", kName, u"C:a.txt", u"a.txt"},
      {"name", kName, u"a.txt", u"a.txt"},
      {"name", kName, u"C:\\in\\", u""},
      {"ext", kExt, u"a.txt", u".txt"},
      {"ext", kExt, u"C:\\in\\archive.tar.gz", u".gz"},
      {"ext", kExt, u"C:\\in\\README", u""},
      {"ext", kExt, u"C:\\in\\.profile", u".profile"},
      {"ext", kExt, u"C:\\in.d\\README", u""},  // a dot in a folder's name is no extension
      {"base", kBase, u"a.txt", u"a"},
      {"base", kBase, u"C:\\in\\archive.tar.gz", u"archive.tar"},
      {"base", kBase, u"C:\\in\\.profile", u""},
      {"base", kBase, u"C:\\in.d\\README", u"README"},
  };
  CheckUnary(PathSyntax::Windows(), std::begin(cases), std::end(cases));

  const PathSyntax& w = PathSyntax::Windows();
  EXPECT_EQ(w.Combine(u"C:\\in", u"変換済み"), u"C:\\in\\変換済み");
  EXPECT_EQ(w.Combine(u"C:\\", u"変換済み"), u"C:\\変換済み");
  EXPECT_EQ(w.Combine(u"C:/in/", u"a"), u"C:/in/a");
  EXPECT_EQ(w.Combine(u"C:", u"a"), u"C:a");
  EXPECT_EQ(w.Combine(u"", u"a"), u"a");
  EXPECT_EQ(w.Combine(u"C:\\in", u""), u"C:\\in");
}

TEST(PathSyntaxPosix, OperationsOfTheRules) {
  const UnaryCase cases[] = {
      {"dir", kDir, u"/in/a.txt", u"/in"},
      {"dir", kDir, u"/a.txt", u"/"},  // the root stays the root, not the current folder
      {"dir", kDir, u"//a.txt", u"/"},
      {"dir", kDir, u"/in\\dir/a.txt", u"/in\\dir"},  // "\" and ":" are ordinary characters
      {"dir", kDir, u"/in/sub/", u"/in/sub"},
      {"dir", kDir, u"a.txt", u""},
      {"trailing", kTrail, u"/in", u"/in/"},
      {"trailing", kTrail, u"/", u"/"},
      {"trailing", kTrail, u"C:\\", u"C:\\/"},
      {"trailing", kTrail, u"", u""},
      {"name", kName, u"/in/a\\b.txt", u"a\\b.txt"},
      {"name", kName, u"/in/C:x.txt", u"C:x.txt"},
      {"name", kName, u"a.txt", u"a.txt"},
      {"ext", kExt, u"/in/archive.tar.gz", u".gz"},
      {"ext", kExt, u"/in/.profile", u".profile"},
      {"ext", kExt, u"/in.d/README", u""},
      {"base", kBase, u"/in/archive.tar.gz", u"archive.tar"},
      {"base", kBase, u"/in/.profile", u""},
      {"base", kBase, u"/in.d/README", u"README"},
  };
  CheckUnary(PathSyntax::Posix(), std::begin(cases), std::end(cases));

  const PathSyntax& p = PathSyntax::Posix();
  EXPECT_EQ(p.Combine(u"/in", u"変換済み"), u"/in/変換済み");
  EXPECT_EQ(p.Combine(u"/", u"変換済み"), u"/変換済み");
  EXPECT_EQ(p.Combine(u"a:", u"b"), u"a:/b");
  EXPECT_EQ(p.Combine(u"", u"b"), u"b");
}

// The directory part refuses a path at the limit: 260 characters on Windows, 4096 UTF-8 bytes
// on POSIX, where the kernel's limit counts bytes, not characters.
TEST(PathSyntax, DirectoryPartRefusesPathsAtTheLimit) {
  struct Case {
    const char* what;
    const PathSyntax& syntax;
    std::u16string path;
    bool too_long;
  };
  const Case cases[] = {
      {"windows 259", PathSyntax::Windows(), u"C:\\" + std::u16string(256, u'a'), false},
      {"windows 260", PathSyntax::Windows(), u"C:\\" + std::u16string(257, u'a'), true},
      {"posix 4095 bytes", PathSyntax::Posix(), u"/" + std::u16string(4094, u'a'), false},
      {"posix 4096 bytes", PathSyntax::Posix(), u"/" + std::u16string(4095, u'a'), true},
      {"posix 1366 characters, 4096 bytes", PathSyntax::Posix(), u"/" + std::u16string(1365, u'あ'),
       true},
      {"posix 1365 characters, 4093 bytes", PathSyntax::Posix(), u"/" + std::u16string(1364, u'あ'),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.syntax.IsTooLong(c.path), c.too_long);
    if (c.too_long) {
      try {
        c.syntax.DirectoryPart(c.path);
        ADD_FAILURE() << "no exception";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"指定されたパスが長すぎます");
      }
    } else {
      EXPECT_NO_THROW(c.syntax.DirectoryPart(c.path));
    }
  }
}

}  // namespace
}  // namespace quillora
