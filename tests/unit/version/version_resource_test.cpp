#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/Text.h"
#include "platform/VersionResource.h"

namespace quillora {
namespace {

std::u16string Fixture(const char* name) {
  return FromUtf8(std::string(VERSION_FIXTURES) + "/" + name);
}

std::u16string OwnExecutable() {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return FromUtf8(path);
}

std::vector<std::byte> ReadResource(const std::u16string& path) {
  const std::uint32_t size = GetVersionInfoSize(path);
  if (size == 0)
    return {};
  std::vector<std::byte> data(size);
  if (!GetVersionInfo(path, size, data.data()))
    return {};
  return data;
}

std::optional<std::u16string> Text(const std::vector<std::byte>& data, std::u16string_view path) {
  const auto value = QueryVersionValue(data, path);
  if (!value)
    return std::nullopt;
  EXPECT_TRUE(value->text) << ToUtf8(path);
  return VersionValueText(*value);
}

std::uint32_t Dword(std::span<const std::byte> bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | std::to_integer<std::uint32_t>(bytes[at + i]);
  return v;
}

TEST(VersionResource, BuiltExecutableCarriesTheDescribedStrings) {
  const auto data = ReadResource(OwnExecutable());
  ASSERT_FALSE(data.empty());

  const auto translation = QueryVersionValue(data, u"\\VarFileInfo\\Translation");
  ASSERT_TRUE(translation);
  EXPECT_FALSE(translation->text);
  ASSERT_EQ(translation->bytes.size(), 4u);
  EXPECT_EQ(Dword(translation->bytes, 0), 0x03A40411u);  // Japanese, code page 932

  const std::u16string block = u"\\StringFileInfo\\041103A4\\";
  EXPECT_EQ(Text(data, block + u"FileVersion"), u"0.1.0.0");
  EXPECT_EQ(Text(data, block + u"ProductVersion"), u"1.0.0.0");
  EXPECT_EQ(Text(data, block + u"CompanyName"), u"Quillora Project");
  EXPECT_EQ(Text(data, block + u"LegalCopyright"), u"2026 Quillora Project");
  const auto comments = Text(data, block + u"Comments");
  ASSERT_TRUE(comments);
  EXPECT_FALSE(comments->empty());
  EXPECT_EQ(comments->find(u'\n'), std::u16string::npos);
  EXPECT_EQ(Text(data, block + u"FileDescription"), comments);
  for (const char16_t* key : {u"ProductName", u"InternalName", u"OriginalFilename"}) {
    EXPECT_EQ(Text(data, block + key), u"") << ToUtf8(key);  // present, and empty
  }
  EXPECT_EQ(Text(data, block + u"LegalTrademarks"), std::nullopt);
  EXPECT_EQ(Text(data, u"\\StringFileInfo\\040904B0\\FileVersion"), std::nullopt);
  // Keys match without regard to case, as on the platform the resource comes from.
  EXPECT_EQ(Text(data, u"\\stringfileinfo\\041103a4\\fileversion"), u"0.1.0.0");
}

TEST(VersionResource, RootHoldsTheNumericVersions) {
  const auto data = ReadResource(OwnExecutable());
  ASSERT_FALSE(data.empty());
  for (const char16_t* root : {u"\\", u""}) {
    const auto fixed = QueryVersionValue(data, root);
    ASSERT_TRUE(fixed);
    ASSERT_EQ(fixed->bytes.size(), 52u);
    EXPECT_EQ(Dword(fixed->bytes, 0), 0xFEEF04BDu);
    EXPECT_EQ(Dword(fixed->bytes, 8), 0x00010000u);   // file version 1.0 ...
    EXPECT_EQ(Dword(fixed->bytes, 12), 0x00000000u);  // ... .0.0
    EXPECT_EQ(Dword(fixed->bytes, 16), 0x00010000u);  // product version 1.0 ...
    EXPECT_EQ(Dword(fixed->bytes, 20), 0x00000000u);
  }
}

TEST(VersionResource, FilesWithoutAResourceHaveSizeZero) {
  struct Case {
    const char* name;
    std::u16string path;
  };
  const Case cases[] = {
      {"ELF program without the section", FromUtf8(VERSION_HOST)},
      {"not an ELF file", Fixture("full.res")},
      {"missing file", Fixture("no-such-file")},
      {"folder", FromUtf8(VERSION_FIXTURES)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetVersionInfoSize(c.path), 0u);
    std::vector<std::byte> buffer(4096);
    EXPECT_FALSE(GetVersionInfo(c.path, 4096, buffer.data()));
  }
}

TEST(VersionResource, ReadRefusesABufferTooSmall) {
  const std::u16string self = OwnExecutable();
  const std::uint32_t size = GetVersionInfoSize(self);
  ASSERT_GT(size, 0u);
  std::vector<std::byte> buffer(size, std::byte{0x55});
  EXPECT_FALSE(GetVersionInfo(self, size - 1, buffer.data()));
}

TEST(VersionResource, DamagedResourcesLackOnlyWhatWasLeftOut) {
  const auto noCopyright = ReadResource(Fixture("no_copyright.elf"));
  ASSERT_FALSE(noCopyright.empty());
  EXPECT_EQ(Text(noCopyright, u"\\StringFileInfo\\041103A4\\LegalCopyright"), std::nullopt);
  EXPECT_EQ(Text(noCopyright, u"\\StringFileInfo\\041103A4\\FileVersion"), u"0.1.0.0");
  EXPECT_TRUE(QueryVersionValue(noCopyright, u"\\VarFileInfo\\Translation"));

  const auto noTranslation = ReadResource(Fixture("no_translation.elf"));
  ASSERT_FALSE(noTranslation.empty());
  EXPECT_FALSE(QueryVersionValue(noTranslation, u"\\VarFileInfo\\Translation"));
  EXPECT_FALSE(QueryVersionValue(noTranslation, u"\\VarFileInfo"));
  EXPECT_EQ(Text(noTranslation, u"\\StringFileInfo\\041103A4\\FileVersion"), u"0.1.0.0");
}

// Every prefix of a real resource, and the resource with one length made to point past its
// end: the query finds what lies wholly inside the bytes it was given and never reads beyond
// them (the sanitizer build watches the reads).
TEST(VersionResource, CutOrLyingResourceIsNeverReadBeyondItsEnd) {
  std::ifstream in(std::string(VERSION_FIXTURES) + "/full.res", std::ios::binary);
  const std::vector<char> raw{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(raw.size(), 100u);
  std::vector<std::byte> whole(raw.size());
  std::memcpy(whole.data(), raw.data(), raw.size());

  const std::u16string paths[] = {u"\\", u"\\VarFileInfo\\Translation",
                                  u"\\StringFileInfo\\041103A4\\FileVersion",
                                  u"\\StringFileInfo\\041103A4\\ProductVersion"};
  for (std::size_t size = 0; size < whole.size(); ++size) {
    std::vector<std::byte> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    for (const auto& path : paths) {
      const auto value = QueryVersionValue(cut, path);
      // The root's length says how long the whole is, so no prefix passes as a resource.
      EXPECT_FALSE(value) << "size " << size << " " << ToUtf8(path);
    }
    // The same prefix with the root's length cut to match: what is found is found whole.
    if (size < 6)
      continue;
    cut[0] = static_cast<std::byte>(size & 0xFF);
    cut[1] = static_cast<std::byte>(size >> 8);
    if (size >= 38) {  // the root's key fits
      EXPECT_TRUE(QueryVersionValue(cut, u"\\")) << size;
    }
    const auto version = QueryVersionValue(cut, u"\\StringFileInfo\\041103A4\\FileVersion");
    if (version) {
      EXPECT_EQ(VersionValueText(*version), u"0.1.0.0") << size;
    }
  }

  // A child whose length claims more than its parent holds ends the walk there.
  std::vector<std::byte> lying = whole;
  const std::size_t stringFileInfo = 0x5C;  // after the root's key and fixed information
  ASSERT_EQ(VersionValueText({std::span(lying).subspan(stringFileInfo + 6, 28), true}),
            u"StringFileInfo");
  lying[stringFileInfo] = std::byte{0xFF};
  lying[stringFileInfo + 1] = std::byte{0xFF};
  EXPECT_FALSE(QueryVersionValue(lying, u"\\StringFileInfo\\041103A4\\FileVersion"));
  EXPECT_TRUE(QueryVersionValue(lying, u"\\"));
}

}  // namespace
}  // namespace quillora
