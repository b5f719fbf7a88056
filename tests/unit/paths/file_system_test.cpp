#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "temp_dir.h"

namespace quillora {
namespace {

class FileSystemTest : public TempDirTest {};

TEST_F(FileSystemTest, ExistenceTestsTellFilesFromFolders) {
  WriteFile("file.txt");
  std::filesystem::create_directories(Native("folder"));
  std::filesystem::create_symlink(Native("file.txt"), Native("link-to-file"));
  std::filesystem::create_symlink(Native("folder"), Native("link-to-folder"));
  std::filesystem::create_symlink(Native("missing"), Native("dangling"));
  ASSERT_EQ(::mkfifo(Native("fifo").c_str(), 0600), 0);
  struct Case {
    const char* what;
    std::u16string path;
    bool file;
    bool folder;
  };
  const Case cases[] = {
      {"file", Path("file.txt"), true, false},
      {"folder", Path("folder"), false, true},
      {"link to a file", Path("link-to-file"), true, false},
      {"link to a folder", Path("link-to-folder"), false, true},
      {"dangling link", Path("dangling"), false, false},
      {"missing", Path("missing"), false, false},
      {"fifo", Path("fifo"), false, false},
      // The kernel would stop at the zero and find file.txt.
      {"zero inside", Path("file.txt") + u'\0' + u"x", false, false},
      {"unpaired surrogate", Path("file.txt") + u'\xD800', false, false},
      {"empty", u"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FileExists(c.path), c.file);
    EXPECT_EQ(DirectoryExists(c.path), c.folder);
  }
}

TEST_F(FileSystemTest, CreateFoldersMakesEveryMissingParent) {
  const std::u16string deep = Path("a/変換済み/c");
  EXPECT_TRUE(CreateFolders(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(CreateFolders(deep + u"/"));  // existing, with a trailing delimiter

  // A usable path that cannot be made is no error here; the caller finds out when it creates
  // a file inside.
  WriteFile("in-the-way");
  EXPECT_FALSE(CreateFolders(Path("in-the-way/sub")));
  EXPECT_FALSE(DirectoryExists(Path("in-the-way/sub")));
}

TEST_F(FileSystemTest, CreateFoldersRaisesForPathsThatCannotBeUsed) {
  struct Case {
    const char* what;
    std::u16string path;
    std::u16string message;
  };
  const Case cases[] = {
      {"empty", u"", u"作成するフォルダのパスが空です。"},
      {"blank", u" \u3000 ", u"作成するフォルダのパスが空です。"},
      {"too long", Path(std::string(4096, 'a')), u"指定されたパスが長すぎます"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      CreateFolders(c.path);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  const std::u16string with_zero = Path("a") + u'\0' + u"b";
  EXPECT_THROW(CreateFolders(with_zero), Exception);
  EXPECT_FALSE(std::filesystem::exists(Native("a")));
}

TEST_F(FileSystemTest, RelativePathsAreMadeAbsolute) {
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(root_);
  const std::u16string absolute = MakeAbsolutePath(u"x/y");
  const bool created = CreateFolders(u"rel/sub");
  std::filesystem::current_path(saved);
  EXPECT_EQ(absolute, FromUtf8(std::filesystem::canonical(root_).string()) + u"/x/y");
  EXPECT_TRUE(created);
  EXPECT_TRUE(DirectoryExists(Path("rel/sub")));
  EXPECT_EQ(MakeAbsolutePath(u"/already/absolute"), u"/already/absolute");
}

TEST(SystemErrorText, JapaneseForCommonCausesElseTheLibrarysText) {
  EXPECT_EQ(SystemErrorText(ENOENT), u"指定されたファイルが見つかりません。");
  EXPECT_EQ(SystemErrorText(EACCES), u"アクセスが拒否されました。");
  EXPECT_EQ(SystemErrorText(ENOSPC), u"ディスクに十分な空き領域がありません。");
  EXPECT_EQ(SystemErrorText(ENOTCONN), u"Transport endpoint is not connected");
  EXPECT_FALSE(SystemErrorText(99999).empty());
}

}  // namespace
}  // namespace quillora
