#pragma once

#include <string>

namespace quillora {

// The running program's own file: its full path with every link resolved, so that a launcher
// linked from elsewhere still finds the files installed beside the real executable. Raises
// Exception when the system does not tell.
std::u16string ExecutablePath();

// The folder that holds ExecutablePath(), without a trailing delimiter ("/" for the root).
std::u16string ExecutableFolder();

}  // namespace quillora
