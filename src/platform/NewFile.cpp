#include "platform/NewFile.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/PathSyntax.h"
#include "platform/Text.h"

namespace quillora {
namespace {

[[noreturn]] void ThrowCreateError(const std::u16string& path, int error) {
  throw Exception(
      FormatMessage(u"ファイル \"%s\" を作成できません。%s", {path, SystemErrorText(error)}));
}

[[noreturn]] void ThrowWriteError(const std::u16string& path, int error) {
  throw Exception(FormatMessage(u"ファイル \"%s\" に最後まで書き込めませんでした。%s",
                                {path, SystemErrorText(error)}));
}

// A write past the process's file-size limit would otherwise end the whole program with
// SIGXFSZ; ignored, the write fails with EFBIG and only this file's save fails.
void IgnoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] { ::signal(SIGXFSZ, SIG_IGN); });
}

// Removes the temporary file on every way out unless it was given its final name.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
      folder += '/';
    std::vector<char> name(folder.begin(), folder.end());
    const char suffix[] = ".quillora-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ >= 0) {
      name_ = name.data();
      // mkostemp makes the file private to its owner; an output gets the usual permissions.
      const mode_t mask = ::umask(0);
      ::umask(mask);
      ::fchmod(fd_, 0666 & ~mask);
    }
  }
  ~TemporaryFile() {
    if (fd_ >= 0)
      ::close(fd_);
    if (!name_.empty())
      ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Created() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }
  // Closes the file; the data's last chance to report an error on some file systems.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void Release() { name_.clear(); }

 private:
  int fd_ = -1;
  std::string name_;
};

// Gives the temporary file the final name unless a file holds it. Returns 0, or an errno.
int LinkWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS)
    return errno;
  // The file system cannot rename without replacing: a hard link fails just the same when the
  // name is taken, and the temporary name is removed afterwards by the caller.
  if (::link(from.c_str(), to.c_str()) == 0)
    return 0;
  return errno;
}

}  // namespace

std::u16string WriteNewFile(const std::u16string& path, const std::string& bytes,
                            const TNextFreeName& next_free) {
  IgnoreFileSizeSignal();
  std::string native;
  if (!ToNativePath(path, native))
    ThrowCreateError(path, EINVAL);
  const std::u16string folder = PathSyntax::Native().DirectoryPart(path);
  std::string native_folder;
  ToNativePath(folder.empty() ? u"." : folder, native_folder);

  TemporaryFile temp(native_folder);
  if (!temp.Created())
    ThrowCreateError(path, errno);

  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(temp.Fd(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      ThrowWriteError(path, n < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(n);
  }
  if (temp.Close() != 0)
    ThrowWriteError(path, errno);

  std::u16string name = path;
  for (;;) {
    if (!ToNativePath(name, native))
      ThrowCreateError(name, EINVAL);
    const int error = LinkWithoutReplacing(temp.Name(), native);
    if (error == 0)
      break;
    if (error != EEXIST)
      ThrowCreateError(name, error);
    // Only a file counts as taking the name, as when the name was chosen; a folder or anything
    // else in the way is a failure to create the file there, not a reason to pick another name.
    if (!FileExists(name))
      ThrowCreateError(name, DirectoryExists(name) ? EISDIR : EEXIST);
    name = next_free(name);
  }
  // After a rename the temporary name is gone; after a link it is removed here.
  if (::access(temp.Name().c_str(), F_OK) != 0)
    temp.Release();
  return name;
}

}  // namespace quillora
