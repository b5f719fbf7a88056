#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "conv/ConvertRequest.h"
#include "conv/Tnkf.h"
#include "platform/DynamicLibrary.h"
#include "platform/Text.h"

namespace quillora {
namespace {

// "=" where the two choices name the same code and the bytes pass unchanged.
const char* const kOptions[5][4] = {
    {"s", "j", "e", "w"},    {"=", "Sj", "Se", "Sw"}, {"Js", "=", "Je", "Jw"},
    {"Es", "Ej", "=", "Ew"}, {"Ws", "Wj", "We", "="},
};

TEST(ConvertRequest, OptionsForEveryPairOfChoices) {
  for (int from = 0; from < 5; ++from) {
    for (int to = 0; to < 4; ++to) {
      SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
      const std::string expected = kOptions[from][to];
      EXPECT_EQ(NeedsConversion(from, to), expected != "=");
      if (expected != "=") {
        EXPECT_EQ(MakeNkfOption(from, to), expected);
      }
    }
  }
  // Values outside the lists give no letter; the offset rule still decides "the same code".
  struct Case {
    int from, to;
    bool needs;
    const char* options;
  };
  const Case cases[] = {
      {-1, 0, true, "s"},
      {5, 3, true, "w"},
      {1, -1, true, "S"},
      {4, 4, true, "W"},
      {5, 4, false, ""},
      {0, -1, false, ""},  // the rule is the offset alone, whatever the values
      {INT_MIN, INT_MAX, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
    EXPECT_EQ(NeedsConversion(c.from, c.to), c.needs);
    EXPECT_EQ(MakeNkfOption(c.from, c.to), c.options);
  }
}

std::u16string LibPath(const std::string& name) {
  return FromUtf8(std::string(QUILLORA_TEST_LIB_DIR) + "/" + name + ".dll");
}

// The stand-in component converts input under options into "[" options "]" followed by every
// input byte, and logs every call; the test holds it too, to read the log.
class ConvertFileBytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillora-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    if (fake_ != nullptr)
      FreeDynamicLibrary(fake_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void Load(const std::string& name) {
    fake_ = LoadDynamicLibrary(LibPath(name));
    ASSERT_NE(fake_, nullptr);
    log_ = reinterpret_cast<const char* (*)()>(FindLibraryFunction(fake_, "FakeNkfLog"));
    reinterpret_cast<void (*)()>(FindLibraryFunction(fake_, "FakeNkfReset"))();
    ASSERT_EQ(nkf_.load_library(LibPath(name)), 0);
  }
  std::string Log() const { return log_(); }
  std::u16string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(root_ / name, std::ios::binary) << bytes;
    return FromUtf8((root_ / name).string());
  }

  std::filesystem::path root_;
  LibraryHandle fake_ = nullptr;
  const char* (*log_)() = nullptr;
  TNkf nkf_;
};

std::string Bounded(size_t capacity, size_t in_len) {
  return "NkfConvertBounded(" + std::to_string(capacity) + "," + std::to_string(in_len) + ")\n";
}

// Every pair of choices on a file holding zero bytes: converted whole with the pair's options,
// or returned byte for byte without a single call into the component.
TEST_F(ConvertFileBytesTest, EveryPairOfChoices) {
  Load("nkf_record");
  const std::string bytes("\x82\xA0\0a\0\xFF\r\n", 8);
  const std::u16string path = Write("in.txt", bytes);
  for (int from = 0; from < 5; ++from) {
    for (int to = 0; to < 4; ++to) {
      SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
      const std::string options = kOptions[from][to];
      const std::string before = Log();
      const std::string result = ConvertFileBytes(nkf_, path, from, to);
      if (options == "=") {
        EXPECT_EQ(result, bytes);
        EXPECT_EQ(Log(), before);
      } else {
        EXPECT_EQ(result, "[" + options + "]" + bytes);
        EXPECT_EQ(Log().substr(before.size()),
                  "SetNkfOption(" + options + ")\n" + Bounded(1024, bytes.size()));
      }
    }
  }
}

TEST_F(ConvertFileBytesTest, LargerFileWithZeroBytesConvertsWhole) {
  Load("nkf_record");
  std::string bytes(5000, '\0');
  for (size_t i = 0; i < bytes.size(); i += 3)
    bytes[i] = static_cast<char>(0x80 + i % 100);
  const std::string before = Log();
  EXPECT_EQ(ConvertFileBytes(nkf_, Write("big.txt", bytes), 2, 3), "[Jw]" + bytes);
  EXPECT_EQ(Log().substr(before.size()), "SetNkfOption(Jw)\n" + Bounded(10001, 5000));
}

// An empty file: nothing on the unchanged path; on the converting path the component is still
// asked, with an empty text, and its answer is the result.
TEST_F(ConvertFileBytesTest, EmptyFileOnBothPaths) {
  Load("nkf_record");
  const std::u16string path = Write("empty.txt", "");
  std::string before = Log();
  EXPECT_EQ(ConvertFileBytes(nkf_, path, 3, 2), "");
  EXPECT_EQ(Log(), before);
  EXPECT_EQ(ConvertFileBytes(nkf_, path, 0, 0), "[s]");
  EXPECT_EQ(Log().substr(before.size()), "SetNkfOption(s)\n" + Bounded(1024, 0));
}

// The reader's error comes out as it is, not as a conversion failure, and the component has not
// been called.
TEST_F(ConvertFileBytesTest, ReaderErrorsPassUnchanged) {
  Load("nkf_record");
  const std::u16string missing = FromUtf8((root_ / "missing.txt").string());
  const std::u16string expected =
      u"ファイル " + missing + u" は開けません。 指定されたファイルが見つかりません。 ";
  for (const auto& [from, to] : {std::pair{0, 0}, std::pair{1, 0}}) {
    SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
    const std::string before = Log();
    try {
      ConvertFileBytes(nkf_, missing, from, to);
      ADD_FAILURE() << "no exception";
    } catch (const NkfException&) {
      ADD_FAILURE() << "a reader error became a conversion failure";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), expected);
    }
    EXPECT_EQ(Log(), before);
  }
}

TEST_F(ConvertFileBytesTest, AdapterFailureIsNkfExceptionWithItsText) {
  Load("nkf_huge");
  const std::u16string path = Write("in.txt", "abc");
  try {
    ConvertFileBytes(nkf_, path, 1, 1);
    ADD_FAILURE() << "no exception";
  } catch (const NkfException& e) {
    EXPECT_EQ(e.Message(), u"memory allocation erorr.(get_buffer_pointer)");
    EXPECT_EQ(e.Message(), nkf_.get_error_message());
  }
  // The same file copied unchanged never meets the failing component.
  EXPECT_EQ(ConvertFileBytes(nkf_, path, 2, 1), "abc");
}

}  // namespace
}  // namespace quillora
