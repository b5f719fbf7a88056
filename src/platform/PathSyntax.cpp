#include "platform/PathSyntax.h"

#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {

const PathSyntax& PathSyntax::Windows() {
  static constexpr PathSyntax syntax(true);
  return syntax;
}

const PathSyntax& PathSyntax::Posix() {
  static constexpr PathSyntax syntax(false);
  return syntax;
}

const PathSyntax& PathSyntax::Native() {
#ifdef _WIN32
  return Windows();
#else
  return Posix();
#endif
}

size_t PathSyntax::FileNameStart(std::u16string_view path) const {
  for (size_t i = path.size(); i > 0; --i) {
    const char16_t c = path[i - 1];
    if (IsDelimiter(c) || (windows_ && c == u':'))
      return i;
  }
  return 0;
}

bool PathSyntax::IsTooLong(std::u16string_view path) const {
  if (windows_)
    return path.size() >= 260;
  // A UTF-16 unit never takes more than three UTF-8 bytes, so short paths need no conversion.
  return path.size() * 3 >= 4096 && ToUtf8(path).size() >= 4096;
}

std::u16string PathSyntax::DirectoryPart(std::u16string_view path) const {
  if (IsTooLong(path))
    throw Exception(u"指定されたパスが長すぎます");
  const std::u16string_view prefix = path.substr(0, FileNameStart(path));
  if (prefix.empty() || !IsDelimiter(prefix.back()))
    return std::u16string(prefix);  // no folder at all, or a drive-relative name as in C:a.txt
  const std::u16string_view folder = prefix.substr(0, prefix.size() - 1);
  // The delimiter of a root stays, or the folder would become the empty text (POSIX) or the
  // current folder of the drive (C:).
  if (folder.empty() || (windows_ && folder.back() == u':'))
    return std::u16string(prefix);
  return std::u16string(folder);
}

std::u16string PathSyntax::WithTrailingDelimiter(std::u16string_view text) const {
  std::u16string out(text);
  // Only the syntax's own delimiter counts here: on Windows C:/ becomes C:/\, which the system
  // reads as C:\.
  if (!out.empty() && out.back() != Delimiter())
    out += Delimiter();
  return out;
}

std::u16string PathSyntax::FileNamePart(std::u16string_view path) const {
  return std::u16string(path.substr(FileNameStart(path)));
}

std::u16string PathSyntax::Extension(std::u16string_view path) const {
  const std::u16string_view name = path.substr(FileNameStart(path));
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string() : std::u16string(name.substr(dot));
}

std::u16string PathSyntax::NameWithoutExtension(std::u16string_view path) const {
  const std::u16string_view name = path.substr(FileNameStart(path));
  return std::u16string(name.substr(0, name.rfind(u'.')));
}

std::u16string PathSyntax::Combine(std::u16string_view a, std::u16string_view b) const {
  if (b.empty())
    return std::u16string(a);
  if (a.empty())
    return std::u16string(b);
  std::u16string out(a);
  if (!IsDelimiter(a.back()) && !(windows_ && a.back() == u':'))
    out += Delimiter();
  out += b;
  return out;
}

}  // namespace quillora
