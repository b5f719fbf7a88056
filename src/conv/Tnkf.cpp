#include "conv/Tnkf.h"

#include <cstdint>
#include <iterator>
#include <new>

namespace quillora {
namespace {

constexpr char16_t kLoadFailed[] = u"NKF32.DLLが見つかりません。";
constexpr char16_t kNoBuffer[] = u"memory allocation erorr.(get_buffer_pointer)";
constexpr char16_t kNotLoaded[] = u"NKF32.DLLが読み込まれていません。";
constexpr char16_t kBadAnswer[] = u"NKF32.DLLが変換結果を正しく返しませんでした。";

std::u16string MissingExport(const char* name) {
  std::u16string text = u"GetProcAddress(";
  for (const char* c = name; *c != '\0'; ++c)
    text += static_cast<char16_t>(static_cast<unsigned char>(*c));
  return text + u") error.";
}

}  // namespace

TNkf::TNkf() = default;

TNkf::~TNkf() {
  unload_library();
  error_message.clear();
}

int TNkf::load_library(const std::u16string& path) {
  // A second load must not leave the first library's handle behind.
  unload_library();

  module = LoadDynamicLibrary(path);
  if (module == nullptr) {
    error_message = kLoadFailed;
    return -1;
  }

  // The six exports the program has always required, in this order, then the bounded
  // conversion it now converts with.
  static constexpr const char* kExports[] = {"GetNkfVersion",    "SetNkfOption",  "NkfConvert",
                                             "ToHankaku",        "ToZenkakuKana", "EncodeSubject",
                                             "NkfConvertBounded"};
  LibraryFunction found[std::size(kExports)] = {};
  for (size_t i = 0; i < std::size(kExports); ++i) {
    found[i] = FindLibraryFunction(module, kExports[i]);
    if (found[i] == nullptr) {
      FreeDynamicLibrary(module);
      module = nullptr;
      error_message = MissingExport(kExports[i]);
      return -1;
    }
  }
  GetNkfVersion = reinterpret_cast<GetNkfVersionFunction>(found[0]);
  SetNkfOption = reinterpret_cast<SetNkfOptionFunction>(found[1]);
  NkfConvert = reinterpret_cast<NkfConvertFunction>(found[2]);
  ToHankaku = reinterpret_cast<ToHankakuFunction>(found[3]);
  ToZenkakuKana = reinterpret_cast<ToZenkakuKanaFunction>(found[4]);
  EncodeSubject = reinterpret_cast<EncodeSubjectFunction>(found[5]);
  NkfConvertBounded = reinterpret_cast<NkfConvertBoundedFunction>(found[6]);

  // Shift_JIS output with the input code detected: the component's starting setting.
  set_option("s");
  return 0;
}

std::u16string TNkf::get_error_message() const {
  return error_message;
}

int TNkf::convert(const std::string& input, std::string& output, const std::string& options) {
  if (module == nullptr) {
    error_message = kNotLoaded;
    return -1;
  }
  set_option(options);

  const size_t n = input.size();
  // 2n + 1 bytes hold what most conversions make of n bytes; the component says when a
  // conversion needs more.
  char* buffer = nullptr;
  if (n <= (SIZE_MAX - 1) / 2)
    buffer = get_buffer_pointer(2 * n + 1);
  else
    release_buffer_pointer();
  if (buffer == nullptr) {
    error_message = kNoBuffer;
    return -1;
  }
  size_t written = 0;
  int result = NkfConvertBounded(buffer, buffer_size, &written, input.data(), n);
  if (result == -1 && written > buffer_size) {
    // The options stay in force: a conversion that found too little room changes no state of
    // the component, so the same call again, with the room it asked for, converts the same.
    buffer = get_buffer_pointer(written);
    if (buffer == nullptr) {
      error_message = kNoBuffer;
      return -1;
    }
    written = 0;
    result = NkfConvertBounded(buffer, buffer_size, &written, input.data(), n);
  }
  // Asking for room twice, or reporting more than it was allowed to write, is outside what the
  // component promises; nothing is read past the buffer for it.
  if (result != 0 || written > buffer_size) {
    error_message = kBadAnswer;
    return -1;
  }
  output.assign(buffer, written);
  return 0;
}

void TNkf::set_option(const std::string& options) {
  // The component's answer is not examined: the program only sends strings it knows.
  // c_str() hands over the text up to its end, an empty one as a lone zero byte.
  SetNkfOption(options.c_str());
}

char* TNkf::get_buffer_pointer(size_t size) {
  release_buffer_pointer();
  if (size <= kFixedBufferSize) {
    buffer_pointer = fixed_buffer;
    buffer_size = kFixedBufferSize;
  } else {
    buffer_pointer = new (std::nothrow) char[size];
    buffer_size = buffer_pointer != nullptr ? size : 0;
  }
  return buffer_pointer;
}

void TNkf::release_buffer_pointer() {
  if (buffer_pointer != nullptr && buffer_pointer != fixed_buffer) {
    delete[] buffer_pointer;
    buffer_pointer = nullptr;
    buffer_size = 0;
  }
}

void TNkf::unload_library() {
  release_buffer_pointer();
  if (module != nullptr) {
    FreeDynamicLibrary(module);
    module = nullptr;
  }
  GetNkfVersion = nullptr;
  SetNkfOption = nullptr;
  NkfConvert = nullptr;
  ToHankaku = nullptr;
  ToZenkakuKana = nullptr;
  EncodeSubject = nullptr;
  NkfConvertBounded = nullptr;
}

}  // namespace quillora
