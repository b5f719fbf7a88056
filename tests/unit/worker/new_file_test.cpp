#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "paths/temp_dir.h"
#include "platform/Exception.h"
#include "platform/NewFile.h"
#include "platform/Text.h"

namespace quillora {
namespace {

class NewFileTest : public TempDirTest {
 protected:
  std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Every entry of the folder, so a test sees a temporary file left behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(root_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TNextFreeName Numbered() const {
    return [this](const std::u16string& taken) {
      ++asked;
      return taken + u"+";
    };
  }
  mutable int asked = 0;
};

TEST_F(NewFileTest, WritesEveryByteUnderTheFreeName) {
  const std::string bytes("a\0b\xFF\r\n", 6);
  EXPECT_EQ(WriteNewFile(Path("out.txt"), bytes, Numbered()), Path("out.txt"));
  EXPECT_EQ(Read("out.txt"), bytes);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
  EXPECT_EQ(WriteNewFile(Path("empty.txt"), "", Numbered()), Path("empty.txt"));
  EXPECT_EQ(std::filesystem::file_size(Native("empty.txt")), 0u);
}

TEST_F(NewFileTest, ATakenNameIsNeverReplaced) {
  WriteFile("out.txt", "old");
  WriteFile("out.txt+", "older");
  EXPECT_EQ(WriteNewFile(Path("out.txt"), "new", Numbered()), Path("out.txt++"));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Read("out.txt"), "old");
  EXPECT_EQ(Read("out.txt+"), "older");
  EXPECT_EQ(Read("out.txt++"), "new");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"out.txt", "out.txt+", "out.txt++"}));
}

TEST_F(NewFileTest, AFolderInTheWayIsAFailureNotAReasonToRename) {
  std::filesystem::create_directory(Native("out.txt"));
  try {
    WriteNewFile(Path("out.txt"), "x", Numbered());
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind(u"ファイル \"" + Path("out.txt") + u"\" を作成できません。", 0), 0u)
        << e.what();
  }
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
}

TEST_F(NewFileTest, AMissingFolderCannotHoldTheFile) {
  EXPECT_THROW(WriteNewFile(Path("missing/out.txt"), "x", Numbered()), Exception);
  EXPECT_TRUE(Entries().empty());
}

// A file-size limit stops the write part-way: the save fails with its message and nothing of
// the file stays behind. Run in a child so the limit does not reach the test process.
TEST_F(NewFileTest, AShortWriteLeavesNothing) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteNewFile(Path("big.txt"), std::string(100000, 'x'), Numbered());
      ::_exit(2);
    } catch (const Exception& e) {
      const bool named = e.Message().find(Path("big.txt")) != std::u16string::npos;
      ::_exit(named ? 0 : 3);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace quillora
