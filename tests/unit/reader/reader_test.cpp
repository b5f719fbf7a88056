#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "paths/temp_dir.h"
#include "platform/Exception.h"
#include "platform/Text.h"
#include "util/Tfileutility.h"

namespace quillora {
namespace {

class ReaderTest : public TempDirTest {
 protected:
  std::u16string Write(const std::string& name, const std::string& bytes) const {
    WriteFile(name, bytes);
    return Path(name);
  }
  // A file of the given size that takes no room on disk.
  std::u16string Sparse(const std::string& name, std::int64_t size) const {
    const int fd = ::open((root_ / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    return Path(name);
  }
};

std::u16string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no exception";
  return {};
}

// A stream that states one size and yields another, in chunks of at most `chunk` bytes.
class FakeStream : public TInputStream {
 public:
  FakeStream(std::int64_t stated, std::string bytes, size_t chunk = SIZE_MAX)
      : stated_(stated), bytes_(std::move(bytes)), chunk_(chunk) {}
  std::int64_t Size() override { return stated_; }
  size_t Read(char* buffer, size_t count) override {
    ++reads;
    const size_t n = std::min({count, chunk_, bytes_.size() - pos_});
    bytes_.copy(buffer, n, pos_);
    pos_ += n;
    return n;
  }
  int reads = 0;

 private:
  std::int64_t stated_;
  std::string bytes_;
  size_t chunk_;
  size_t pos_ = 0;
};

std::string EveryByteValue(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
  return bytes;
}

TEST_F(ReaderTest, ReturnsExactlyTheFilesBytes) {
  for (const size_t size : {size_t{1}, size_t{256}, size_t{4096}, size_t{(1 << 20) + 3}}) {
    SCOPED_TRACE(size);
    const std::string bytes = EveryByteValue(size);
    EXPECT_EQ(ReadFileBytes(Write("f.bin", bytes)), bytes);
  }
  EXPECT_EQ(ReadFileBytes(Write("z.bin", std::string("a\0\0b\xFF\x80", 6))),
            std::string("a\0\0b\xFF\x80", 6));
}

TEST_F(ReaderTest, EmptyFileReadsNothing) {
  EXPECT_EQ(ReadFileBytes(Write("empty.txt", "")), "");
  for (const std::int64_t stated : {0, -1}) {
    FakeStream stream(stated, "ignored");
    EXPECT_EQ(ReadStreamBytes(stream, u"/f"), "");
    EXPECT_EQ(stream.reads, 0);
  }
}

TEST_F(ReaderTest, ReadsAFileThatIsOpenForWritingElsewhere) {
  std::ofstream writer(root_ / "open.txt", std::ios::binary);
  writer << "being written" << std::flush;
  EXPECT_EQ(ReadFileBytes(Path("open.txt")), "being written");
}

TEST_F(ReaderTest, ShortReadsAreJoinedUntilEveryByteIsIn) {
  const std::string bytes = EveryByteValue(1000);
  FakeStream stream(1000, bytes, 7);
  EXPECT_EQ(ReadStreamBytes(stream, u"/f"), bytes);
}

TEST_F(ReaderTest, CannotOpenNamesTheFullPathAndTheCause) {
  EXPECT_EQ(MessageOf([&] { ReadFileBytes(Path("missing.txt")); }),
            u"ファイル " + Path("missing.txt") +
                u" は開けません。 指定されたファイルが見つかりません。 ");
  std::filesystem::create_directory(root_ / "folder");
  EXPECT_EQ(MessageOf([&] { ReadFileBytes(Path("folder")); }),
            u"ファイル " + Path("folder") + u" は開けません。 指定されたパスはフォルダです。 ");

  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(root_);
  const std::u16string message = MessageOf([] { ReadFileBytes(u"relative.txt"); });
  std::filesystem::current_path(saved);
  const std::u16string full =
      FromUtf8(std::filesystem::canonical(root_).string()) + u"/relative.txt";
  EXPECT_EQ(message,
            u"ファイル " + full + u" は開けません。 指定されたファイルが見つかりません。 ");
}

// Cutting the size to 32 bits would read 5 bytes of the 4 GiB file and call them the file.
TEST_F(ReaderTest, RefusesFilesOf2GiBOrMore) {
  for (const std::int64_t size : {std::int64_t{1} << 31, (std::int64_t{1} << 32) + 5}) {
    SCOPED_TRACE(size);
    const std::u16string path = Sparse("big.bin", size);
    EXPECT_EQ(MessageOf([&] { ReadFileBytes(path); }),
              u"ファイル " + path +
                  u" は読み込めません。2 GB (2147483648 バイト) "
                  u"以上のファイルは扱えません。ファイルの大きさは " +
                  FromUtf8(std::to_string(size)) + u" バイトです。");
  }
  FakeStream stream(std::int64_t{1} << 31, "");
  EXPECT_THROW(ReadStreamBytes(stream, u"/f"), Exception);
  EXPECT_EQ(stream.reads, 0);
}

TEST_F(ReaderTest, AFileThatYieldsFewerOrMoreBytesThanItsSizeIsAnError) {
  FakeStream shorter(100, std::string(60, 'a'));
  EXPECT_EQ(MessageOf([&] { ReadStreamBytes(shorter, u"/in/a.txt"); }),
            u"ファイル /in/a.txt を最後まで読み込めませんでした。ファイルの大きさは 100 "
            u"バイトですが、60 バイトで終わりました。");
  FakeStream longer(10, std::string(15, 'a'));
  EXPECT_EQ(MessageOf([&] { ReadStreamBytes(longer, u"/in/a.txt"); }),
            u"ファイル /in/a.txt を読み込めませんでした。読み込み中にファイルが 10 "
            u"バイトより大きくなりました。");
}

// The kernel's attribute files state a size of a page and hold a few bytes: a real short read.
TEST_F(ReaderTest, KernelFileShorterThanItsSize) {
  const std::u16string path = u"/sys/devices/system/cpu/online";
  std::error_code error;
  if (std::filesystem::file_size(ToUtf8(path), error) != 4096)
    GTEST_SKIP() << "no sysfs here";
  const std::u16string message = MessageOf([&] { ReadFileBytes(path); });
  EXPECT_EQ(
      message.rfind(u"ファイル /sys/devices/system/cpu/online を最後まで読み込めませんでした。", 0),
      0u)
      << ToUtf8(message);
}

// The address sanitizer reserves far more address space than any limit this test could set.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORA_ASAN 1
#endif
#endif

#ifndef QUILLORA_ASAN
// Run in a child: limits the address space to the present use plus 256 MiB, then reads a file
// too large for that (the out-of-memory message) and one of 4 GiB (refused for its size before
// any allocation is tried). Returns the exit code, 0 when both went as expected.
int ReadUnderAddressSpaceLimit(const std::u16string& huge, const std::u16string& over) {
  long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1)
    return 3;
  std::fclose(statm);
  rlimit rl;
  rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (256 << 20);
  if (::setrlimit(RLIMIT_AS, &rl) != 0)
    return 4;
  try {
    ReadFileBytes(huge);
    return 5;
  } catch (const Exception& e) {
    if (e.Message() != u"ファイルの読み込みに必要なメモリを確保できませんでした。\nstd::bad_alloc")
      return 6;
  }
  try {
    ReadFileBytes(over);
    return 7;
  } catch (const Exception& e) {
    if (e.Message().find(u"以上のファイルは扱えません。") == std::u16string::npos)
      return 8;
  }
  return 0;
}
#endif

TEST_F(ReaderTest, OutOfMemoryBecomesTheReadersMessage) {
#ifdef QUILLORA_ASAN
  GTEST_SKIP() << "address space limits do not work under the address sanitizer";
#else
  const std::u16string huge = Sparse("huge.bin", std::int64_t{2000} << 20);
  const std::u16string over = Sparse("over.bin", std::int64_t{4} << 30);
  EXPECT_EXIT(std::_Exit(ReadUnderAddressSpaceLimit(huge, over)), ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace quillora
