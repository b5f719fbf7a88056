#pragma once

#include <exception>
#include <string>

namespace quillora {

// The one failure type of the program. Every failure travels as an Exception or a kind of it,
// carrying a message for the user. The message is UTF-16 like every text of the program;
// what() gives it as UTF-8 for the C++ world.
class Exception : public std::exception {
 public:
  explicit Exception(std::u16string message);

  const std::u16string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::u16string message_;
  std::string utf8_;
};

}  // namespace quillora
