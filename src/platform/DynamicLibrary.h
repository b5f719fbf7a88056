#pragma once

#include <string>

namespace quillora {

// A library loaded at run time; null when none is loaded.
using LibraryHandle = void*;
// Any function of a loaded library, to be cast to its real type by the caller.
using LibraryFunction = void (*)();

// Loads the library at path, which must be a full path: nothing is searched for, so no other
// file of the same name can stand in for it. On Linux the library's references are all bound
// at once and its symbols stay private to it. Returns null when it cannot be loaded (absent,
// not a library, a dependency absent, or the path is not a full path).
LibraryHandle LoadDynamicLibrary(const std::u16string& path);

// The function the library exports under name; null when it has none.
LibraryFunction FindLibraryFunction(LibraryHandle library, const char* name);

// Releases a handle of LoadDynamicLibrary. A null handle is ignored.
void FreeDynamicLibrary(LibraryHandle library);

}  // namespace quillora
