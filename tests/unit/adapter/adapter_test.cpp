#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "conv/Tnkf.h"
#include "platform/DynamicLibrary.h"
#include "platform/Text.h"

// A component that asks for an impossible buffer must meet a null allocation, as it does
// outside the sanitizers, rather than the sanitizer's report. Options given in the environment
// still come after these.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
extern "C" const char* __tsan_default_options() {
  return "allocator_may_return_null=1";
}

namespace quillora {
namespace {

constexpr char16_t kLoadFailed[] = u"NKF32.DLLが見つかりません。";
constexpr char16_t kNoBuffer[] = u"memory allocation erorr.(get_buffer_pointer)";

std::string LibPath8(const std::string& name) {
  return std::string(QUILLORA_TEST_LIB_DIR) + "/" + name + ".dll";
}
std::u16string LibPath(const std::string& name) {
  return FromUtf8(LibPath8(name));
}

// Whether anything in the process still holds the library: dlclose unloads a library when
// its last handle goes, so this tells whether the adapter let go of it.
bool IsLoaded(const std::string& name) {
  void* handle = ::dlopen(LibPath8(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr)
    ::dlclose(handle);
  return handle != nullptr;
}

// The test's own hold on a stand-in component: its call log and its way of answering. The
// adapter's handle and this one refer to the same loaded library.
class Fake {
 public:
  explicit Fake(const std::string& name) : handle_(LoadDynamicLibrary(LibPath(name))) {
    if (handle_ == nullptr)
      throw std::runtime_error("cannot load " + name);
    log_ = reinterpret_cast<const char* (*)()>(FindLibraryFunction(handle_, "FakeNkfLog"));
    last_out_ = reinterpret_cast<const char* (*)()>(FindLibraryFunction(handle_, "FakeNkfLastOut"));
    set_mode_ = reinterpret_cast<void (*)(int)>(FindLibraryFunction(handle_, "FakeNkfSetMode"));
    reinterpret_cast<void (*)()>(FindLibraryFunction(handle_, "FakeNkfReset"))();
  }
  ~Fake() { FreeDynamicLibrary(handle_); }
  Fake(const Fake&) = delete;
  Fake& operator=(const Fake&) = delete;

  std::string Log() const { return log_(); }
  const char* LastOut() const { return last_out_(); }
  void SetMode(int mode) const { set_mode_(mode); }

 private:
  LibraryHandle handle_;
  const char* (*log_)();
  const char* (*last_out_)();
  void (*set_mode_)(int);
};

// The stand-in's recognisable conversion of input under options.
std::string Converted(const std::string& options, const std::string& input) {
  return "[" + options + "]" + input;
}

std::string Bounded(size_t capacity, size_t in_len) {
  return "NkfConvertBounded(" + std::to_string(capacity) + "," + std::to_string(in_len) + ")\n";
}

TEST(Adapter, LoadFailuresLeaveNothingLoaded) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "adapter_test";
  std::filesystem::create_directories(dir);
  const std::filesystem::path text_file = dir / "nkf32.dll";
  std::ofstream(text_file) << "not a library\n";

  struct Case {
    const char* name;
    std::u16string path;
  };
  const Case cases[] = {
      {"missing file", FromUtf8((dir / "absent" / "nkf32.dll").string())},
      {"not a library", FromUtf8(text_file.string())},
      {"a folder", FromUtf8(dir.string())},
      {"empty path", u""},
      // Found from the current folder or the library path, but not named by a full path.
      {"bare name", u"nkf_record.dll"},
      {"relative path", u"./nkf_record.dll"},
      {"cut by a zero", LibPath(std::string("nkf_record.dll") + '\0' + "x")},
  };
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(QUILLORA_TEST_LIB_DIR);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNkf nkf;
    EXPECT_EQ(nkf.load_library(c.path), -1);
    EXPECT_EQ(nkf.get_error_message(), kLoadFailed);
    EXPECT_EQ(nkf.get_error_message(), kLoadFailed);
    std::string output = "untouched";
    EXPECT_EQ(nkf.convert("abc", output, "s"), -1);
    EXPECT_EQ(output, "untouched");
    EXPECT_FALSE(IsLoaded("nkf_record"));
  }
  std::filesystem::current_path(cwd);
}

TEST(Adapter, MissingExportIsNamedAndTheLibraryReleased) {
  struct Case {
    const char* library;
    const char16_t* message;
  };
  const Case cases[] = {
      {"nkf_without_GetNkfVersion", u"GetProcAddress(GetNkfVersion) error."},
      {"nkf_without_SetNkfOption", u"GetProcAddress(SetNkfOption) error."},
      {"nkf_without_NkfConvert", u"GetProcAddress(NkfConvert) error."},
      {"nkf_without_ToHankaku", u"GetProcAddress(ToHankaku) error."},
      {"nkf_without_ToZenkakuKana", u"GetProcAddress(ToZenkakuKana) error."},
      {"nkf_without_EncodeSubject", u"GetProcAddress(EncodeSubject) error."},
      {"nkf_without_NkfConvertBounded", u"GetProcAddress(NkfConvertBounded) error."},
      // With several missing, the first in resolution order is named.
      {"nkf_without_two", u"GetProcAddress(ToHankaku) error."},
      {"nkf_without_any", u"GetProcAddress(GetNkfVersion) error."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    TNkf nkf;
    EXPECT_EQ(nkf.load_library(LibPath(c.library)), -1);
    EXPECT_EQ(nkf.get_error_message(), c.message);
    EXPECT_FALSE(IsLoaded(c.library));
    std::string output = "untouched";
    EXPECT_EQ(nkf.convert("abc", output, "s"), -1);
    EXPECT_EQ(output, "untouched");
  }
}

// Of the component the adapter calls only SetNkfOption and the bounded conversion: once with
// "s" at load, then the options and one conversion per file; nothing at destruction.
TEST(Adapter, CallsOnlyTheOptionsAndTheBoundedConversion) {
  Fake fake("nkf_record");
  {
    TNkf nkf;
    ASSERT_EQ(nkf.load_library(LibPath("nkf_record")), 0);
    EXPECT_EQ(fake.Log(), "SetNkfOption(s)\n");
    std::string output;
    ASSERT_EQ(nkf.convert("abc", output, "Sw"), 0);
    ASSERT_EQ(nkf.convert("de", output, ""), 0);
  }
  EXPECT_EQ(fake.Log(),
            "SetNkfOption(s)\n"
            "SetNkfOption(Sw)\n" +
                Bounded(1024, 3) + "SetNkfOption()\n" + Bounded(1024, 2));
}

TEST(Adapter, ConvertsWholeInputIntoTheBufferItOffers) {
  const std::string zeros("a\0b\0\0c", 6);
  struct Case {
    const char* name;
    std::string input;
    std::string options;
    size_t capacity;
    bool inline_buffer;
  };
  const Case cases[] = {
      {"empty input", "", "j", 1024, true},
      {"empty options", "abc", "", 1024, true},
      {"zero bytes are ordinary bytes", zeros, "Ew", 1024, true},
      {"only zero bytes", std::string(3, '\0'), "W", 1024, true},
      {"511 bytes", std::string(511, 'x'), "Ss", 1024, true},
      {"512 bytes", std::string(512, 'y'), "Ss", 1025, false},
      {"larger input", std::string(5000, '\0') + "z", "w", 10003, false},
  };
  Fake fake("nkf_record");
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(LibPath("nkf_record")), 0);
  const auto* object_begin = reinterpret_cast<const char*>(&nkf);
  const auto* object_end = object_begin + sizeof nkf;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.SetMode(0);
    const std::string before = fake.Log();
    std::string output = "old output";
    ASSERT_EQ(nkf.convert(c.input, output, c.options), 0);
    EXPECT_EQ(output, Converted(c.options, c.input));
    EXPECT_EQ(fake.Log().substr(before.size()),
              "SetNkfOption(" + c.options + ")\n" + Bounded(c.capacity, c.input.size()));
    const char* out = fake.LastOut();
    EXPECT_EQ(out >= object_begin && out < object_end, c.inline_buffer);
  }
}

// The component may need more room than 2n + 1 bytes (escape sequences, three-byte UTF-8 from
// one-byte kana): it says how much, and gets exactly that in a fresh block. The options are
// not sent again: they are still in force.
TEST(Adapter, GivesTheRoomTheComponentAsksFor) {
  struct Case {
    const char* name;
    std::string input;
    size_t first;
  };
  const Case cases[] = {
      {"short input", "abc", 1024},
      {"long input", std::string(600, '\x82'), 1201},
      {"long input again", std::string(700, '\0'), 1401},
  };
  Fake fake("nkf_more_room");
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(LibPath("nkf_more_room")), 0);
  const auto* object_begin = reinterpret_cast<const char*>(&nkf);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = fake.Log();
    std::string output;
    ASSERT_EQ(nkf.convert(c.input, output, "Jw"), 0);
    const size_t asked = c.first + 7;
    EXPECT_EQ(
        fake.Log().substr(before.size()),
        "SetNkfOption(Jw)\n" + Bounded(c.first, c.input.size()) + Bounded(asked, c.input.size()));
    const std::string converted = Converted("Jw", c.input);
    ASSERT_EQ(output.size(), asked);
    EXPECT_EQ(output.substr(0, converted.size()), converted);
    EXPECT_EQ(output.substr(converted.size()), std::string(asked - converted.size(), '+'));
    const char* out = fake.LastOut();
    EXPECT_FALSE(out >= object_begin && out < object_begin + sizeof nkf);
  }
}

TEST(Adapter, BufferThatCannotBeHadFailsAndKeepsTheLibrary) {
  Fake fake("nkf_huge");
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(LibPath("nkf_huge")), 0);
  std::string output = "untouched";
  EXPECT_EQ(nkf.convert("abc", output, "Sj"), -1);
  EXPECT_EQ(nkf.get_error_message(), kNoBuffer);
  EXPECT_EQ(output, "untouched");
  EXPECT_EQ(fake.Log(), "SetNkfOption(s)\nSetNkfOption(Sj)\n" + Bounded(1024, 3));

  // Still loaded: a component that answers sensibly again converts, and a success leaves the
  // last failure's text as it was.
  fake.SetMode(0);
  ASSERT_EQ(nkf.convert("abc", output, "Sj"), 0);
  EXPECT_EQ(output, Converted("Sj", "abc"));
  EXPECT_EQ(nkf.get_error_message(), kNoBuffer);
}

// Answers outside the component's contract fail the conversion; nothing is read past the
// buffer and the adapter asks again at most once.
TEST(Adapter, AnswersOutsideTheContractFail) {
  struct Case {
    const char* name;
    int mode;
    int calls;
  };
  const Case cases[] = {
      {"asks for more room twice", 3, 2},
      {"reports more than the capacity", 4, 1},
      {"asks for no more than it had", 5, 1},
      {"neither 0 nor -1", 6, 1},
  };
  Fake fake("nkf_record");
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(LibPath("nkf_record")), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.SetMode(c.mode);
    const std::string before = fake.Log();
    std::string output = "untouched";
    EXPECT_EQ(nkf.convert(std::string(600, 'a'), output, "w"), -1);
    EXPECT_EQ(output, "untouched");
    EXPECT_EQ(nkf.get_error_message(), u"NKF32.DLLが変換結果を正しく返しませんでした。");
    const std::string log = fake.Log().substr(before.size());
    size_t calls = 0;
    for (size_t at = log.find("NkfConvertBounded"); at != std::string::npos;
         at = log.find("NkfConvertBounded", at + 1))
      ++calls;
    EXPECT_EQ(calls, static_cast<size_t>(c.calls));
  }
}

TEST(Adapter, ConvertBeforeLoadFails) {
  TNkf nkf;
  std::string output = "untouched";
  EXPECT_EQ(nkf.convert("abc", output, "s"), -1);
  EXPECT_EQ(nkf.get_error_message(), u"NKF32.DLLが読み込まれていません。");
  EXPECT_EQ(output, "untouched");
  EXPECT_EQ(nkf.get_error_message(), nkf.get_error_message());
}

TEST(Adapter, DestructorReleasesTheLibrary) {
  {
    TNkf nkf;
    ASSERT_EQ(nkf.load_library(LibPath("nkf_record")), 0);
    std::string output;
    ASSERT_EQ(nkf.convert(std::string(2000, 'q'), output, "s"), 0);
    EXPECT_TRUE(IsLoaded("nkf_record"));
  }
  EXPECT_FALSE(IsLoaded("nkf_record"));
}

TEST(Adapter, SecondLoadReleasesTheFirstLibrary) {
  TNkf nkf;
  ASSERT_EQ(nkf.load_library(LibPath("nkf_record")), 0);
  ASSERT_EQ(nkf.load_library(LibPath("nkf_more_room")), 0);
  EXPECT_FALSE(IsLoaded("nkf_record"));
  EXPECT_EQ(nkf.load_library(LibPath("nkf_without_ToHankaku")), -1);
  EXPECT_FALSE(IsLoaded("nkf_more_room"));
}

}  // namespace
}  // namespace quillora
