#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/Exception.h"
#include "platform/PathSyntax.h"
#include "platform/Text.h"

namespace quillora {

// A zero would let the kernel cut the path short, and an unpaired surrogate would turn into
// U+FFFD: either way another file than the one named would be reached.
bool ToNativePath(std::u16string_view path, std::string& native) {
  for (size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c == 0)
      return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == path.size() || path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF)
        return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  native = ToUtf8(path);
  return true;
}

namespace {

bool ToNative(std::u16string_view path, std::string& native) {
  return ToNativePath(path, native);
}

bool StatFollowingLinks(const std::u16string& path, struct stat& st) {
  std::string native;
  return ToNative(path, native) && ::stat(native.c_str(), &st) == 0;
}

// The full path for a message; the path as given when the current folder cannot be had.
std::u16string FullPathForMessage(const std::u16string& path) {
  try {
    return MakeAbsolutePath(path);
  } catch (const Exception&) {
    return path;
  }
}

[[noreturn]] void ThrowOpenError(const std::u16string& full_path, int error) {
  throw Exception(
      FormatMessage(u"ファイル %s は開けません。 %s ", {full_path, SystemErrorText(error)}));
}

[[noreturn]] void ThrowReadError(const std::u16string& full_path, int error) {
  throw Exception(
      FormatMessage(u"ファイル %s を読み込めません。 %s ", {full_path, SystemErrorText(error)}));
}

bool IsBlank(std::u16string_view text) {
  for (const char16_t c : text) {
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != u'\u3000')
      return false;
  }
  return true;
}

}  // namespace

bool FileExists(const std::u16string& path) {
  struct stat st;
  return StatFollowingLinks(path, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::u16string& path) {
  struct stat st;
  return StatFollowingLinks(path, st) && S_ISDIR(st.st_mode);
}

std::u16string SystemErrorText(int error) {
  switch (error) {
    case EPERM:
      return u"この操作を実行する権限がありません。";
    case ENOENT:
      return u"指定されたファイルが見つかりません。";
    case EINTR:
      return u"関数の呼び出しが割り込まれました。";
    case EIO:
      return u"I/O デバイス エラーが発生しました。";
    case ENXIO:
      return u"指定されたデバイスまたはアドレスがありません。";
    case EBADF:
      return u"ハンドルが無効です。";
    case EAGAIN:
      return u"リソースが一時的に使用できません。";
    case ENOMEM:
      return u"メモリが不足しています。";
    case EACCES:
      return u"アクセスが拒否されました。";
    case EBUSY:
      return u"デバイスまたはリソースが使用中です。";
    case EEXIST:
      return u"既に存在するファイルを作成することはできません。";
    case EXDEV:
      return u"別のファイル システムへは移動できません。";
    case ENODEV:
      return u"指定されたデバイスがありません。";
    case ENOTDIR:
      return u"パスの途中にフォルダでないものがあります。";
    case EISDIR:
      return u"指定されたパスはフォルダです。";
    case EINVAL:
      return u"パラメーターが間違っています。";
    case ENFILE:
      return u"システムで開いているファイルが多すぎます。";
    case EMFILE:
      return u"開いているファイルが多すぎます。";
    case ETXTBSY:
      return u"ファイルは実行中のプログラムが使用しています。";
    case EFBIG:
      return u"ファイルが大きすぎます。";
    case ENOSPC:
      return u"ディスクに十分な空き領域がありません。";
    case EROFS:
      return u"読み取り専用のファイル システムです。";
    case EMLINK:
      return u"リンクが多すぎます。";
    case ENAMETOOLONG:
      return u"ファイル名が長すぎます。";
    case ELOOP:
      return u"シンボリック リンクの階層が深すぎます。";
    case ENOTEMPTY:
      return u"フォルダが空ではありません。";
    case EOVERFLOW:
      return u"値が大きすぎて扱えません。";
    case EDQUOT:
      return u"ディスク クォータを超えました。";
    case ESTALE:
      return u"ファイル ハンドルが古くなっています。";
    case EOPNOTSUPP:
      return u"この操作はサポートされていません。";
    case ETIMEDOUT:
      return u"操作がタイムアウトしました。";
    default:
      break;
  }
#ifdef __GLIBC__
  // Unlike strerror, thread-safe and independent of the locale.
  if (const char* text = ::strerrordesc_np(error))
    return FromUtf8(text);
  return FromUtf8("Unknown error " + std::to_string(error));
#else
  return FromUtf8(std::strerror(error));
#endif
}

std::u16string MakeAbsolutePath(const std::u16string& path) {
  if (!path.empty() && path.front() == u'/')
    return path;
  std::string cwd(256, '\0');
  while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE)
      throw Exception(
          FormatMessage(u"パス %s を絶対パスにできません。 %s ", {path, SystemErrorText(errno)}));
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(std::strlen(cwd.c_str()));
  return PathSyntax::Posix().Combine(FromUtf8(cwd), path);
}

bool CreateFolders(const std::u16string& path) {
  if (IsBlank(path))
    throw Exception(u"作成するフォルダのパスが空です。");
  std::string native;
  if (!ToNative(path, native))
    throw Exception(
        FormatMessage(u"フォルダ %s のパスに使用できない文字が含まれています。", {path}));
  const std::u16string absolute = MakeAbsolutePath(path);
  if (PathSyntax::Posix().IsTooLong(absolute))
    throw Exception(u"指定されたパスが長すぎます");
  native = ToUtf8(absolute);
  // Every prefix that ends before a delimiter is a folder to make, the root excluded; one that
  // exists already (EEXIST) is fine, and any other failure shows in the final test.
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == '/') {
      if (native[i - 1] == '/')
        continue;
      const std::string folder = native.substr(0, i);
      ::mkdir(folder.c_str(), 0777);
    }
  }
  return DirectoryExists(absolute);
}

TInputFile::TInputFile(const std::u16string& path) : path_(FullPathForMessage(path)) {
  std::string native;
  if (!ToNative(path, native))
    ThrowOpenError(path_, ENOENT);
  // O_NONBLOCK keeps a FIFO without a writer from blocking the open; it is cleared again so that
  // reads wait for their data.
  fd_ = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0)
    ThrowOpenError(path_, errno);
  struct stat st;
  int error = 0;
  if (::fstat(fd_, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;  // Linux opens a folder for reading; its "bytes" are no file's
  else if (const int flags = ::fcntl(fd_, F_GETFL);
           flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0)
    error = errno;
  if (error != 0) {
    ::close(fd_);
    ThrowOpenError(path_, error);
  }
}

TInputFile::~TInputFile() {
  ::close(fd_);
}

std::int64_t TInputFile::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0)
    ThrowReadError(path_, errno);
  return st.st_size;
}

size_t TInputFile::Read(char* buffer, size_t count) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, count);
    if (got >= 0)
      return static_cast<size_t>(got);
    if (errno != EINTR)
      ThrowReadError(path_, errno);
  }
}

}  // namespace quillora
