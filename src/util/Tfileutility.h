#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace quillora {

// The whole file, byte for byte, as one byte string. The file is opened for reading only and
// denies nothing to others. Raises Exception:
// - "ファイル %s は開けません。 %s " (the full path, the system's text) when it cannot be opened;
// - when it is 2 GB or larger, before anything is allocated;
// - when its bytes cannot be held in memory;
// - when it yields fewer or more bytes than its size said (it changed while it was read, or a
//   read failed): no part of a file is ever returned as if it were the whole.
std::string ReadFileBytes(const std::u16string& path);

// The reader's work on any stream; full_path names the file in the messages.
std::string ReadStreamBytes(TInputStream& stream, std::u16string_view full_path);

}  // namespace quillora
