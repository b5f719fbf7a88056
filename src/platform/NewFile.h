#pragma once

#include <functional>
#include <string>

namespace quillora {

// Gives the next name to try after `taken` turned out to be in use.
using TNextFreeName = std::function<std::u16string(const std::u16string& taken)>;

// Saves bytes as a new file, never replacing anything: the bytes are written to a temporary
// file in the folder of `path`, which then takes the name `path` only if no file holds it.
// When the name was taken in the meantime, next_free gives the next candidate, and so on. On
// any failure the temporary file is removed, so the output either exists whole or not at all.
// Returns the path the file was given.
//
// Raises Exception "ファイル "%s" を作成できません。%s" (the path, the system's reason) when the
// file cannot be created or named, and a message of its own when not every byte can be written
// (a full disk, a file-size limit).
std::u16string WriteNewFile(const std::u16string& path, const std::string& bytes,
                            const TNextFreeName& next_free);

}  // namespace quillora
