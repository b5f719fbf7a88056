#include "platform/Process.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {

std::u16string ExecutablePath() {
  // /proc/self/exe is a link to the executable's real path; readlink does not say how long the
  // target is, so the buffer grows until the answer no longer fills it.
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      throw Exception(u"実行ファイルの場所を取得できません。 " + FromUtf8(std::strerror(errno)));
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      return FromUtf8(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string ExecutableFolder() {
  const std::u16string path = ExecutablePath();
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string::npos) {
    return std::u16string();
  }
  if (slash == 0) {
    return u"/";
  }
  return path.substr(0, slash);
}

}  // namespace quillora
