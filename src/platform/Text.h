#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillora {

// UTF-16 is the program's text form; UTF-8 is what Linux file names, Qt's 8-bit calls and
// what() want. Ill-formed input (a lone surrogate, a broken UTF-8 sequence) becomes U+FFFD,
// so no text is ever dropped silently.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Replaces every "%s", in order, by the next argument. Message formats of the program use
// "%s" alone; a "%s" beyond the arguments stays as it is.
std::u16string FormatMessage(std::u16string_view format,
                             std::initializer_list<std::u16string_view> args);

}  // namespace quillora
