#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillora {

// The text operations on paths, for one syntax. The program uses Native(); the Windows syntax
// exists so that its rules can be exercised on every machine.
//
// Windows: "\" is the delimiter, "/" is accepted as a second one, a drive is a letter and ":",
// and a path of 260 characters or more is too long.
// POSIX: "/" is the only delimiter, there are no drives, and a path whose UTF-8 form is 4096
// bytes or more is too long (the kernel's PATH_MAX counts bytes, its terminating zero included).
class PathSyntax {
 public:
  static const PathSyntax& Windows();
  static const PathSyntax& Posix();
  // The syntax of the platform the program runs on.
  static const PathSyntax& Native();

  // The path without its last component and without the delimiter before it. A delimiter that
  // marks a root stays: C:\a.txt gives C:\, /a.txt gives /. Raises Exception with
  // "指定されたパスが長すぎます" when the path is too long.
  std::u16string DirectoryPart(std::u16string_view path) const;
  // The text with "\" (Windows) or "/" (POSIX) appended unless it already ends with it. The
  // empty text stays empty: appending would turn a name relative to the current folder into one
  // in the root.
  std::u16string WithTrailingDelimiter(std::u16string_view text) const;
  // The text after the last delimiter (on Windows also after the drive's ":").
  std::u16string FileNamePart(std::u16string_view path) const;
  // The file-name part from its last "." on, the dot included; empty without a ".".
  // archive.tar.gz gives .gz; .profile gives .profile.
  std::u16string Extension(std::u16string_view path) const;
  // The file-name part without its extension: .profile gives the empty text.
  std::u16string NameWithoutExtension(std::u16string_view path) const;
  // a when b is empty, b when a is empty, a + b when a ends with a delimiter (or a drive's
  // ":"), else a, the delimiter, b.
  std::u16string Combine(std::u16string_view a, std::u16string_view b) const;

  // True when the path is at or beyond the syntax's length limit.
  bool IsTooLong(std::u16string_view path) const;
  bool IsWindows() const { return windows_; }
  char16_t Delimiter() const { return windows_ ? u'\\' : u'/'; }

 private:
  explicit constexpr PathSyntax(bool windows) : windows_(windows) {}

  bool IsDelimiter(char16_t c) const { return c == u'/' || (windows_ && c == u'\\'); }
  // Position just past the last delimiter or drive ":", 0 when there is none.
  size_t FileNameStart(std::u16string_view path) const;

  bool windows_;
};

}  // namespace quillora
