#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillora {

// The version resource of an executable: the same tree of nodes that Windows keeps in a
// program's resources (VS_VERSIONINFO with its StringFileInfo and VarFileInfo blocks, every
// number little-endian, every key UTF-16). On Linux the build stores it in the ELF section
// named below, so it is read from the file on disk, never from the running image.
inline constexpr std::string_view kVersionSectionName = ".quillora.version";

// Size in bytes of the version resource in the file at `path`; 0 when the file cannot be
// opened, is no ELF file, or has no such section.
std::uint32_t GetVersionInfoSize(const std::u16string& path);

// Reads the whole resource of the file at `path` into `data`, which holds `size` bytes. False
// when the file cannot be read or its resource does not fit into `size` bytes.
bool GetVersionInfo(const std::u16string& path, std::uint32_t size, std::byte* data);

// One value found by QueryVersionValue: its bytes inside the resource data, and whether the
// node marks it as text (then it is UTF-16, normally ending in a zero character).
struct VersionValue {
  std::span<const std::byte> bytes;
  bool text = false;
};

// Looks a node up by its path, as "\VarFileInfo\Translation" or
// "\StringFileInfo\041103A4\FileVersion"; "\" alone names the root, whose value is the fixed
// file information. Keys are compared without regard to ASCII case. Nothing outside `data`
// is ever read: a resource that is cut short or whose lengths point past its end yields
// no value for the parts that do not fit.
std::optional<VersionValue> QueryVersionValue(std::span<const std::byte> data,
                                              std::u16string_view path);

// The text of a value up to its first zero character (or its end).
std::u16string VersionValueText(const VersionValue& value);

}  // namespace quillora
