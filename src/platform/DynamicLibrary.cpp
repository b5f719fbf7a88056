#include "platform/DynamicLibrary.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "platform/Text.h"

namespace quillora {
namespace {

// A text with a zero character would reach the loader cut short, naming another file.
bool HasZero(const std::u16string& path) {
  return path.find(u'\0') != std::u16string::npos;
}

}  // namespace

#if defined(_WIN32)

LibraryHandle LoadDynamicLibrary(const std::u16string& path) {
  if (path.empty() || HasZero(path))
    return nullptr;
  // The library's own dependencies are searched for in its folder first.
  return ::LoadLibraryExW(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr,
                          LOAD_WITH_ALTERED_SEARCH_PATH);
}

LibraryFunction FindLibraryFunction(LibraryHandle library, const char* name) {
  if (library == nullptr)
    return nullptr;
  return reinterpret_cast<LibraryFunction>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeDynamicLibrary(LibraryHandle library) {
  if (library != nullptr)
    ::FreeLibrary(static_cast<HMODULE>(library));
}

#else

LibraryHandle LoadDynamicLibrary(const std::u16string& path) {
  // dlopen searches the library path for a bare name, resolves a relative one against the
  // current folder, and hands back the program itself for an empty one: only a full path
  // names one file for certain.
  if (path.empty() || path.front() != u'/' || HasZero(path))
    return nullptr;
  return ::dlopen(ToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

LibraryFunction FindLibraryFunction(LibraryHandle library, const char* name) {
  if (library == nullptr)
    return nullptr;
  void* address = ::dlsym(library, name);
  // POSIX guarantees that dlsym's object pointer holds a function's address; copying the bits
  // says so without a cast that ISO C++ leaves conditionally supported.
  LibraryFunction function = nullptr;
  static_assert(sizeof function == sizeof address);
  std::memcpy(&function, &address, sizeof function);
  return function;
}

void FreeDynamicLibrary(LibraryHandle library) {
  if (library != nullptr)
    ::dlclose(library);
}

#endif

}  // namespace quillora
