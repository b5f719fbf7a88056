#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillora {

// The native (UTF-8) form of a path, or false when the path holds what no Linux path can: a zero
// or an unpaired surrogate, either of which would reach another file than the one named.
bool ToNativePath(std::u16string_view path, std::string& native);

// True when a file, not a folder, exists at the path. Links are followed: a link to a file
// counts, a link to a folder or a dangling link does not. Only regular files count; a FIFO or a
// device is no file to read or to name an output after.
bool FileExists(const std::u16string& path);

// True when a folder exists at the path, links followed.
bool DirectoryExists(const std::u16string& path);

// The system's text for an errno value, in Japanese for the causes a user meets with files, the
// C library's text for the rest.
std::u16string SystemErrorText(int error);

// The path made absolute against the current folder; an absolute path comes back unchanged.
// Raises Exception when the current folder cannot be had.
std::u16string MakeAbsolutePath(const std::u16string& path);

// Creates the folder and every missing folder above it. Raises Exception only when the path
// cannot be used as a path (blank, holding a zero or an unpaired surrogate, too long, or not
// to be made absolute). A usable path that cannot be created (no permission, a file in the
// way) raises nothing: the result is false, and the failure shows when a file is created in it.
bool CreateFolders(const std::u16string& path);

// A byte source that states its size before it is read.
class TInputStream {
 public:
  virtual ~TInputStream() = default;
  // The size in bytes as the source states it now.
  virtual std::int64_t Size() = 0;
  // Reads up to count bytes into buffer; returns how many, 0 at the end. Raises on an error.
  virtual size_t Read(char* buffer, size_t count) = 0;
};

// A file opened for reading only. Nothing is denied to other handles: the file may be open for
// writing elsewhere, and it may be renamed or deleted while it is read.
class TInputFile final : public TInputStream {
 public:
  // Raises Exception "ファイル %s は開けません。 %s " (the full path, the system's text) when the
  // file cannot be opened; a folder cannot.
  explicit TInputFile(const std::u16string& path);
  ~TInputFile() override;
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // The full path, as messages name the file.
  const std::u16string& FullPath() const { return path_; }
  std::int64_t Size() override;
  // Raises Exception "ファイル %s を読み込めません。 %s " on a read error.
  size_t Read(char* buffer, size_t count) override;

 private:
  std::u16string path_;  // full path, for messages
  int fd_ = -1;
};

}  // namespace quillora
