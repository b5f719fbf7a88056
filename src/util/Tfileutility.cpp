#include "util/Tfileutility.h"

#include <cstdint>
#include <limits>
#include <new>

#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {
namespace {

std::u16string Decimal(std::int64_t n) {
  return FromUtf8(std::to_string(n));
}

}  // namespace

std::string ReadStreamBytes(TInputStream& stream, std::u16string_view full_path) {
  const std::int64_t size = stream.Size();
  if (size <= 0)
    return {};
  // Byte strings are counted in 32 bits; a larger file cannot be held whole, and cutting its
  // size to 32 bits would hand back a part of it as if it were all.
  if (size > std::numeric_limits<std::int32_t>::max())
    throw Exception(
        FormatMessage(u"ファイル %s は読み込めません。2 GB (2147483648 バイト) "
                      u"以上のファイルは扱えません。ファイルの大きさは %s バイトです。",
                      {full_path, Decimal(size)}));
  const auto count = static_cast<size_t>(size);

  // The bytes are read straight into the result, so the file is in memory once, not twice.
  std::string bytes;
  try {
    bytes.resize(count);
  } catch (const std::bad_alloc& e) {
    throw Exception(u"ファイルの読み込みに必要なメモリを確保できませんでした。\n" +
                    FromUtf8(e.what()));
  }

  // A read may deliver less than asked for; only the end of the file stops the loop.
  size_t got = 0;
  while (got < count) {
    const size_t n = stream.Read(bytes.data() + got, count - got);
    if (n == 0)
      throw Exception(
          FormatMessage(u"ファイル %s を最後まで読み込めませんでした。ファイルの大きさは "
                        u"%s バイトですが、%s バイトで終わりました。",
                        {full_path, Decimal(size), Decimal(static_cast<std::int64_t>(got))}));
    got += n;
  }
  char probe;
  if (stream.Read(&probe, 1) != 0)
    throw Exception(
        FormatMessage(u"ファイル %s を読み込めませんでした。読み込み中にファイルが %s "
                      u"バイトより大きくなりました。",
                      {full_path, Decimal(size)}));
  return bytes;
}

std::string ReadFileBytes(const std::u16string& path) {
  TInputFile file(path);
  return ReadStreamBytes(file, file.FullPath());
}

}  // namespace quillora
