#pragma once

#include <functional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/PathSyntax.h"

namespace quillora {

// How an output is named: the input's name with a text added, beside the input; or the input's
// own name inside a sub-folder of the input's folder.
enum class TNameMode { AddText, SubFolder };

// The position of the added text: 0 before the name ("前に"); 1, or any other value, after it
// ("後ろに").
inline constexpr int kNamePosBefore = 0;
inline constexpr int kNamePosAfter = 1;

// The test that decides whether a path is taken. The program's is FileExists (files only, links
// followed); tests hand in their own to check paths of another syntax.
using TFileExistsTest = std::function<bool(const std::u16string&)>;

// The path under which the input's output is saved: a path at which no file existed when it was
// tested (a folder of that name does not count). Raises what a path operation raises, such as
// "指定されたパスが長すぎます"; creates nothing.
std::u16string MakeOutputFileName(const std::u16string& input_path, TNameMode mode, int position,
                                  const std::u16string& name_text, const std::u16string& dir_text,
                                  const PathSyntax& syntax = PathSyntax::Native(),
                                  const TFileExistsTest& file_exists = FileExists);

// The input's folder with the text added before or after the input's name, the extension last.
std::u16string MakeFileNameWithText(const std::u16string& input_path, int position,
                                    const std::u16string& text,
                                    const PathSyntax& syntax = PathSyntax::Native());

// The input's file name inside the named sub-folder of the input's folder.
std::u16string MakeFileNameInFolder(const std::u16string& input_path,
                                    const std::u16string& dir_text,
                                    const PathSyntax& syntax = PathSyntax::Native());

// The first of base(2)ext, base(3)ext, ... beside the taken path at which no file exists.
// Numbers are tried from 2 up, so a gap left by a deleted file is filled first.
std::u16string MakeUniqueFileName(const std::u16string& taken_path,
                                  const PathSyntax& syntax = PathSyntax::Native(),
                                  const TFileExistsTest& file_exists = FileExists);

}  // namespace quillora
