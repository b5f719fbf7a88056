#include "app/Tkappinfo.h"

#include <array>
#include <cstdio>

#include "platform/Exception.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "platform/VersionResource.h"

namespace quillora {
namespace {

constexpr std::array<const char16_t*, TkAppInfo::kKeyCount> kKeys = {
    u"Comments",     u"CompanyName",    u"FileDescription", u"FileVersion",
    u"InternalName", u"LegalCopyright", u"LegalTradeMarks", u"OriginalFilename",
    u"PrivateBuild", u"ProductName",    u"ProductVersion",
};

constexpr char16_t kNoVersionInfo[] = u"バージョン情報を取得できません";

}  // namespace

TkAppInfo::TkAppInfo() : TkAppInfo(ExecutablePath()) {}

TkAppInfo::TkAppInfo(const std::u16string& path) {
  const std::uint32_t size = GetVersionInfoSize(path);
  if (size == 0)
    throw Exception(kNoVersionInfo);
  versionData_.resize(size);
  if (!GetVersionInfo(path, size, versionData_.data())) {
    versionData_.clear();
    throw Exception(kNoVersionInfo);
  }
  // Without a translation there is no string table to name, so the resource is as good as
  // absent; the first entry is the one the strings are looked up in.
  const auto translation = QueryVersionValue(versionData_, u"\\VarFileInfo\\Translation");
  if (!translation || translation->bytes.size() < 4)
    throw Exception(kNoVersionInfo);
  for (int i = 3; i >= 0; --i) {
    translation_ = (translation_ << 8) | std::to_integer<std::uint32_t>(translation->bytes[i]);
  }
}

std::u16string TkAppInfo::GetInfo(int index) const {
  if (index < 0 || index >= kKeyCount)
    return {};
  char block[9];
  std::snprintf(block, sizeof block, "%04X%04X", translation_ & 0xFFFFu, translation_ >> 16);
  const std::u16string path = u"\\StringFileInfo\\" + FromUtf8(block) + u"\\" + kKeys[index];
  const auto value = QueryVersionValue(versionData_, path);
  return value ? VersionValueText(*value) : std::u16string();
}

}  // namespace quillora
