#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillora {

// Answers questions about the version resource of an executable's file. Made on the stack
// for as long as it is needed; nothing is cached, so every instance reads the file afresh.
class TkAppInfo {
 public:
  // The keys GetInfo knows, by index.
  enum Key : int {
    kComments = 0,
    kCompanyName,
    kFileDescription,
    kFileVersion,
    kInternalName,
    kLegalCopyright,
    kLegalTradeMarks,
    kOriginalFilename,
    kPrivateBuild,
    kProductName,
    kProductVersion,
    kKeyCount
  };

  // Reads the running executable's resource. Throws Exception "バージョン情報を取得できません"
  // when the file has none, it cannot be read, or it names no translation.
  TkAppInfo();
  // The same for the executable at `path`.
  explicit TkAppInfo(const std::u16string& path);

  // The string `index` of the resource's translation, or "" when the key is unknown or absent.
  std::u16string GetInfo(int index) const;

  // Low 16 bits the language, high 16 bits the code page.
  std::uint32_t Translation() const { return translation_; }

 private:
  std::uint32_t translation_ = 0;
  std::vector<std::byte> versionData_;
};

}  // namespace quillora
