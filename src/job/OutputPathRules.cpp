#include "job/OutputPathRules.h"

#include <cstdint>

#include "platform/Text.h"

namespace quillora {

std::u16string MakeOutputFileName(const std::u16string& input_path, TNameMode mode, int position,
                                  const std::u16string& name_text, const std::u16string& dir_text,
                                  const PathSyntax& syntax, const TFileExistsTest& file_exists) {
  const std::u16string candidate =
      mode == TNameMode::AddText ? MakeFileNameWithText(input_path, position, name_text, syntax)
                                 : MakeFileNameInFolder(input_path, dir_text, syntax);
  // An empty text names the input itself, which exists, so the input is never the output.
  return file_exists(candidate) ? MakeUniqueFileName(candidate, syntax, file_exists) : candidate;
}

std::u16string MakeFileNameWithText(const std::u16string& input_path, int position,
                                    const std::u16string& text, const PathSyntax& syntax) {
  const std::u16string base = syntax.NameWithoutExtension(input_path);
  const std::u16string name = position == kNamePosBefore ? text + base : base + text;
  return syntax.WithTrailingDelimiter(syntax.DirectoryPart(input_path)) + name +
         syntax.Extension(input_path);
}

std::u16string MakeFileNameInFolder(const std::u16string& input_path,
                                    const std::u16string& dir_text, const PathSyntax& syntax) {
  return syntax.Combine(syntax.Combine(syntax.DirectoryPart(input_path), dir_text),
                        syntax.FileNamePart(input_path));
}

std::u16string MakeUniqueFileName(const std::u16string& taken_path, const PathSyntax& syntax,
                                  const TFileExistsTest& file_exists) {
  const std::u16string folder = syntax.WithTrailingDelimiter(syntax.DirectoryPart(taken_path));
  const std::u16string base = syntax.NameWithoutExtension(taken_path);
  const std::u16string ext = syntax.Extension(taken_path);
  // 64 bits: the count can never wrap, however many numbered files a folder holds.
  for (std::int64_t n = 2;; ++n) {
    const std::u16string candidate =
        folder + base + u"(" + FromUtf8(std::to_string(n)) + u")" + ext;
    if (!file_exists(candidate))
      return candidate;
  }
}

}  // namespace quillora
