#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Process.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace quillora {
namespace {

namespace fs = std::filesystem;

TEST(Process, ExecutablePathNamesThisProgramsRealFile) {
  const std::string path = ToUtf8(ExecutablePath());
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  struct stat self {};
  struct stat named {};
  ASSERT_EQ(stat("/proc/self/exe", &self), 0);
  ASSERT_EQ(lstat(path.c_str(), &named), 0);
  EXPECT_TRUE(S_ISREG(named.st_mode)) << "a link, not the real file: " << path;
  EXPECT_EQ(self.st_ino, named.st_ino);
  EXPECT_EQ(self.st_dev, named.st_dev);

  const std::u16string folder = ExecutableFolder();
  EXPECT_EQ(ToUtf8(folder), fs::path(path).parent_path().string());
  EXPECT_NE(folder.back(), u'/');
}

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillora-shell-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    handler_ = dir_ / "handler";
    // Writes its arguments, one per line, to $QUILLORA_HANDLER_OUT, then renames it into place
    // so the test never reads a half-written file.
    std::ofstream(handler_)
        << "#!/bin/sh\n"
           "out=\"$QUILLORA_HANDLER_OUT\"\n"
           "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
    fs::permissions(handler_, fs::perms::owner_all);
    out_ = dir_ / "out.txt";
    setenv("QUILLORA_HANDLER_OUT", out_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QUILLORA_HANDLER_OUT");
    fs::remove_all(dir_);
  }

  // What the handler received, once it has run (it runs in the background).
  std::string Received() {
    for (int i = 0; i < 500 && !fs::exists(out_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(out_);
    std::stringstream text;
    text << in.rdbuf();
    fs::remove(out_);
    return text.str();
  }

  fs::path dir_, handler_, out_;
};

TEST_F(Shell, HandlerGetsTheTargetAsOneArgumentByteForByte) {
  struct Case {
    std::u16string target;
    std::string received;
  };
  const Case cases[] = {
      {u"/help/Quillora.CHM", "/help/Quillora.CHM\n"},
      {u"/a b/\u5909\u63db \"q\" 'x' $HOME `id`;rm -rf x|y&.txt",
       "/a b/\xE5\xA4\x89\xE6\x8F\x9B \"q\" 'x' $HOME `id`;rm -rf x|y&.txt\n"},
      {u"https://example.org/?a=1&b=2", "https://example.org/?a=1&b=2\n"},
      // A leading "-" would be read as an option of the handler.
      {u"-n.txt", "./-n.txt\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.received);
    ASSERT_TRUE(OpenWithProgram(handler_.string(), c.target));
    EXPECT_EQ(Received(), c.received);
  }
}

TEST_F(Shell, MissingHandlerIsAFailure) {
  EXPECT_FALSE(OpenWithProgram((dir_ / "no-such-handler").string(), u"/x.CHM"));
  EXPECT_FALSE(OpenWithProgram("quillora-no-such-handler-on-path", u"/x.CHM"));
}

}  // namespace
}  // namespace quillora
