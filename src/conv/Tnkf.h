#pragma once

#include <cstddef>
#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/Exception.h"

namespace quillora {

// The failure of a conversion through the component, with the adapter's text as its message.
class NkfException : public Exception {
 public:
  explicit NkfException(std::u16string message) : Exception(std::move(message)) {}
};

// The program's only door to the conversion component nkf32.dll. Reports like a plain library:
// 0 for success, -1 for failure with the reason in get_error_message(). Not thread-safe: one
// conversion at a time.
class TNkf {
 public:
  TNkf();
  ~TNkf();
  TNkf(const TNkf&) = delete;
  TNkf& operator=(const TNkf&) = delete;

  int load_library(const std::u16string& path);
  std::u16string get_error_message() const;
  // Converts all of input under options; output is written only on success.
  int convert(const std::string& input, std::string& output, const std::string& options);

 private:
  using GetNkfVersionFunction = const char* (*)();
  using SetNkfOptionFunction = int (*)(const char*);
  using NkfConvertFunction = void (*)(char*, const char*);
  using ToHankakuFunction = void (*)(char*);
  using ToZenkakuKanaFunction = int (*)(char*, size_t, const char*);
  using EncodeSubjectFunction = int (*)(char*, size_t, const char*);
  using NkfConvertBoundedFunction = int (*)(char*, size_t, size_t*, const char*, size_t);

  static constexpr size_t kFixedBufferSize = 1024;

  void set_option(const std::string& options);
  // An output buffer of at least size bytes: fixed_buffer when it is large enough, else a heap
  // block of exactly size bytes, which replaces the one held before; null when the memory
  // cannot be had.
  char* get_buffer_pointer(size_t size);
  void release_buffer_pointer();
  void unload_library();

  LibraryHandle module = nullptr;
  GetNkfVersionFunction GetNkfVersion = nullptr;
  SetNkfOptionFunction SetNkfOption = nullptr;
  NkfConvertFunction NkfConvert = nullptr;
  ToHankakuFunction ToHankaku = nullptr;
  ToZenkakuKanaFunction ToZenkakuKana = nullptr;
  EncodeSubjectFunction EncodeSubject = nullptr;
  NkfConvertBoundedFunction NkfConvertBounded = nullptr;
  std::u16string error_message;
  char fixed_buffer[kFixedBufferSize];
  char* buffer_pointer = nullptr;
  // How many bytes buffer_pointer holds: what the component is told it may write.
  size_t buffer_size = 0;
};

}  // namespace quillora
