#pragma once

#include <string>

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
};

}  // namespace quillora
