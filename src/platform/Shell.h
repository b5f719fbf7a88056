#pragma once

#include <string>

namespace quillora {

// Hands a file path or a URL to the desktop's handler for it (xdg-open) and returns at once.
// True when the handler was started; what the handler then does is not waited for.
bool OpenWithDesktop(const std::u16string& target);

// The same with another handler program, looked up on PATH like xdg-open. The target reaches
// it as its one argument, byte for byte.
bool OpenWithProgram(const std::string& program, const std::u16string& target);

}  // namespace quillora
