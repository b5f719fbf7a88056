#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "job/OutputPathRules.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "temp_dir.h"

namespace quillora {
namespace {

constexpr TNameMode kAdd = TNameMode::AddText;
constexpr TNameMode kSub = TNameMode::SubFolder;

// Windows paths on any machine: the rules get a file-exists test over a set of paths.
TEST(OutputPathRulesWindows, WorkedAndFurtherExamples) {
  struct Case {
    const char* what;
    std::u16string input;
    TNameMode mode;
    int position;
    std::u16string name_text;
    std::u16string dir_text;
    std::vector<std::u16string> taken;  // besides the input, which always exists
    std::u16string expected;
  };
  const std::u16string in = u"C:\\in\\report.txt";
  const Case cases[] = {
      {"start-up settings", in, kAdd, 0, u"s-", u"", {}, u"C:\\in\\s-report.txt"},
      {"start-up, taken",
       in,
       kAdd,
       0,
       u"s-",
       u"",
       {u"C:\\in\\s-report.txt"},
       u"C:\\in\\s-report(2).txt"},
      {"start-up, taken twice",
       in,
       kAdd,
       0,
       u"s-",
       u"",
       {u"C:\\in\\s-report.txt", u"C:\\in\\s-report(2).txt"},
       u"C:\\in\\s-report(3).txt"},
      {"gap filled first",
       in,
       kAdd,
       0,
       u"s-",
       u"",
       {u"C:\\in\\s-report.txt", u"C:\\in\\s-report(3).txt"},
       u"C:\\in\\s-report(2).txt"},
      {"after", in, kAdd, 1, u"_sjis", u"", {}, u"C:\\in\\report_sjis.txt"},
      {"after, taken",
       in,
       kAdd,
       1,
       u"_sjis",
       u"",
       {u"C:\\in\\report_sjis.txt"},
       u"C:\\in\\report_sjis(2).txt"},
      {"empty text before", in, kAdd, 0, u"", u"", {}, u"C:\\in\\report(2).txt"},
      {"empty text after", in, kAdd, 1, u"", u"", {}, u"C:\\in\\report(2).txt"},
      {"empty text, (2) taken",
       in,
       kAdd,
       1,
       u"",
       u"",
       {u"C:\\in\\report(2).txt"},
       u"C:\\in\\report(3).txt"},
      {"sub-folder", in, kSub, 0, u"s-", u"変換済み", {}, u"C:\\in\\変換済み\\report.txt"},
      {"sub-folder, taken",
       in,
       kSub,
       0,
       u"",
       u"変換済み",
       {u"C:\\in\\変換済み\\report.txt"},
       u"C:\\in\\変換済み\\report(2).txt"},
      {"empty sub-folder", in, kSub, 0, u"s-", u"", {}, u"C:\\in\\report(2).txt"},
      {"drive root", u"C:\\report.txt", kAdd, 0, u"s-", u"", {}, u"C:\\s-report.txt"},
      {"drive root, sub-folder",
       u"C:\\report.txt",
       kSub,
       0,
       u"",
       u"変換済み",
       {},
       u"C:\\変換済み\\report.txt"},
      {"two extensions",
       u"C:\\in\\archive.tar.gz",
       kAdd,
       1,
       u"s-",
       u"",
       {},
       u"C:\\in\\archive.tars-.gz"},
      {"no extension", u"C:\\in\\README", kAdd, 0, u"s-", u"", {}, u"C:\\in\\s-README"},
      {"no extension, taken",
       u"C:\\in\\README",
       kAdd,
       0,
       u"s-",
       u"",
       {u"C:\\in\\s-README"},
       u"C:\\in\\s-README(2)"},
      {"dot file before", u"C:\\in\\.profile", kAdd, 0, u"s-", u"", {}, u"C:\\in\\s-.profile"},
      {"dot file after", u"C:\\in\\.profile", kAdd, 1, u"s-", u"", {}, u"C:\\in\\s-.profile"},
      {"dot file, taken",
       u"C:\\in\\.profile",
       kAdd,
       1,
       u"s-",
       u"",
       {u"C:\\in\\s-.profile"},
       u"C:\\in\\s-(2).profile"},
      {"a numbered name is numbered again",
       u"C:\\in\\a(2).txt",
       kAdd,
       0,
       u"",
       u"",
       {},
       u"C:\\in\\a(2)(2).txt"},
      {"position outside 0 and 1 puts the text after",
       in,
       kAdd,
       -1,
       u"_x",
       u"",
       {},
       u"C:\\in\\report_x.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::set<std::u16string> taken(c.taken.begin(), c.taken.end());
    taken.insert(c.input);
    const TFileExistsTest exists = [&](const std::u16string& p) { return taken.count(p) != 0; };
    EXPECT_EQ(ToUtf8(MakeOutputFileName(c.input, c.mode, c.position, c.name_text, c.dir_text,
                                        PathSyntax::Windows(), exists)),
              ToUtf8(c.expected));
  }
}

TEST(OutputPathRulesWindows, OverlongInputRaisesThePathError) {
  const std::u16string input = u"C:\\" + std::u16string(253, u'a') + u".txt";  // 260
  const TFileExistsTest none = [](const std::u16string&) { return false; };
  for (const TNameMode mode : {kAdd, kSub}) {
    try {
      MakeOutputFileName(input, mode, 0, u"s-", u"d", PathSyntax::Windows(), none);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), u"指定されたパスが長すぎます");
    }
  }
}

// The same shapes on real folders, with the program's own existence test.
class OutputPathRulesPosix : public TempDirTest {};

TEST_F(OutputPathRulesPosix, RealFolders) {
  struct Case {
    const char* what;
    std::string input;
    TNameMode mode;
    int position;
    std::u16string name_text;
    std::u16string dir_text;
    std::vector<std::string> files;    // besides the input
    std::vector<std::string> folders;  // made before the test
    std::string expected;
  };
  const Case cases[] = {
      {"free", "report.txt", kAdd, 0, u"s-", u"", {}, {}, "s-report.txt"},
      {"taken twice",
       "report.txt",
       kAdd,
       0,
       u"s-",
       u"",
       {"s-report.txt", "s-report(2).txt"},
       {},
       "s-report(3).txt"},
      {"gap filled first",
       "report.txt",
       kAdd,
       0,
       u"s-",
       u"",
       {"s-report.txt", "s-report(3).txt"},
       {},
       "s-report(2).txt"},
      {"a folder named like the output",
       "report.txt",
       kAdd,
       0,
       u"s-",
       u"",
       {},
       {"s-report.txt"},
       "s-report.txt"},
      {"a folder named like a numbered output",
       "report.txt",
       kAdd,
       1,
       u"",
       u"",
       {},
       {"report(2).txt"},
       "report(2).txt"},
      {"empty text before", "report.txt", kAdd, 0, u"", u"", {}, {}, "report(2).txt"},
      {"empty text after", "report.txt", kAdd, 1, u"", u"", {"report(2).txt"}, {}, "report(3).txt"},
      {"empty sub-folder", "report.txt", kSub, 0, u"s-", u"", {}, {}, "report(2).txt"},
      {"missing sub-folder",
       "report.txt",
       kSub,
       0,
       u"",
       u"変換済み",
       {},
       {},
       "変換済み/report.txt"},
      {"sub-folder, taken",
       "report.txt",
       kSub,
       0,
       u"",
       u"変換済み",
       {"変換済み/report.txt"},
       {},
       "変換済み/report(2).txt"},
      {"dot file", ".profile", kAdd, 1, u"s-", u"", {"s-.profile"}, {}, "s-(2).profile"},
      {"two extensions", "archive.tar.gz", kAdd, 1, u"s-", u"", {}, {}, "archive.tars-.gz"},
      {"no extension", "README", kAdd, 0, u"s-", u"", {"s-README"}, {}, "s-README(2)"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = "case" + std::to_string(n++) + "/";
    WriteFile(dir + c.input);
    for (const std::string& f : c.files)
      WriteFile(dir + f);
    for (const std::string& f : c.folders)
      std::filesystem::create_directories(Native(dir + f));
    EXPECT_EQ(ToUtf8(MakeOutputFileName(Path(dir + c.input), c.mode, c.position, c.name_text,
                                        c.dir_text)),
              ToUtf8(Path(dir + c.expected)));
  }
}

// Links are followed: a link to a file takes the name, a link to a folder or to nothing does
// not.
TEST_F(OutputPathRulesPosix, LinksAreFollowed) {
  WriteFile("report.txt");
  WriteFile("elsewhere/target.txt");
  std::filesystem::create_directories(Native("elsewhere/folder"));
  std::filesystem::create_symlink(Native("elsewhere/target.txt"), Native("s-report.txt"));
  std::filesystem::create_symlink(Native("elsewhere/folder"), Native("s-report(2).txt"));
  EXPECT_EQ(MakeOutputFileName(Path("report.txt"), kAdd, 0, u"s-", u""), Path("s-report(2).txt"));

  std::filesystem::create_symlink(Native("elsewhere/missing.txt"), Native("report_x.txt"));
  EXPECT_EQ(MakeOutputFileName(Path("report.txt"), kAdd, 1, u"_x", u""), Path("report_x.txt"));
}

// Each output path is computed right before its file is saved, so the second input of one name
// finds the first one's output in the sub-folder.
TEST_F(OutputPathRulesPosix, TwoInputsOfOneNameIntoOneSubFolder) {
  WriteFile("report.txt");
  std::vector<std::u16string> outputs;
  for (int i = 0; i < 2; ++i) {
    outputs.push_back(MakeOutputFileName(Path("report.txt"), kSub, 0, u"", u"変換済み"));
    std::filesystem::create_directories(Native("変換済み"));
    std::ofstream(ToUtf8(outputs.back())) << "out";
  }
  EXPECT_EQ(outputs[0], Path("変換済み/report.txt"));
  EXPECT_EQ(outputs[1], Path("変換済み/report(2).txt"));
}

}  // namespace
}  // namespace quillora
