#include "platform/VersionResource.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "platform/Text.h"

namespace quillora {
namespace {

// A resource is a tree of nodes whose lengths are 16-bit, so a real one is never larger than
// this; a bigger section is no version resource and is not read into memory.
constexpr std::uint64_t kMaxResourceSize = 0x10000;

// Sections beyond this count mean a damaged or hostile file; no linker writes that many.
constexpr std::uint64_t kMaxSections = 0x100000;

class ElfFile {
 public:
  explicit ElfFile(const std::u16string& path) : in_(ToUtf8(path), std::ios::binary) {}

  // Where the section of the given name lies in the file, if the file is ELF and has it.
  struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
  };
  std::optional<Extent> FindSection(std::string_view name) {
    if (!in_)
      return std::nullopt;
    std::array<unsigned char, 64> header{};
    if (!ReadAt(0, header.data(), header.size()))
      return std::nullopt;
    if (header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' || header[3] != 'F') {
      return std::nullopt;
    }
    if (header[4] != 1 && header[4] != 2)
      return std::nullopt;
    if (header[5] != 1 && header[5] != 2)
      return std::nullopt;
    wide_ = header[4] == 2;
    little_ = header[5] == 1;

    const std::uint64_t shoff =
        wide_ ? Number(header.data() + 0x28, 8) : Number(header.data() + 0x20, 4);
    const std::uint64_t shentsize = Number(header.data() + (wide_ ? 0x3A : 0x2E), 2);
    std::uint64_t shnum = Number(header.data() + (wide_ ? 0x3C : 0x30), 2);
    std::uint64_t shstrndx = Number(header.data() + (wide_ ? 0x3E : 0x32), 2);
    const std::uint64_t minEntry = wide_ ? 64 : 40;
    if (shoff == 0 || shentsize < minEntry)
      return std::nullopt;
    entrySize_ = shentsize;
    tableOffset_ = shoff;

    // With very many sections the real count and the index of the name table move into the
    // first section header.
    if (shnum == 0 || shstrndx == 0xFFFF) {
      const auto first = Section(0);
      if (!first)
        return std::nullopt;
      if (shnum == 0)
        shnum = first->size;
      if (shstrndx == 0xFFFF)
        shstrndx = first->link;
    }
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum)
      return std::nullopt;

    const auto names = Section(shstrndx);
    if (!names || names->type == kNoBits)
      return std::nullopt;
    for (std::uint64_t i = 1; i < shnum; ++i) {
      const auto section = Section(i);
      if (!section)
        return std::nullopt;
      if (section->nameOffset + name.size() + 1 > names->size)
        continue;
      std::string found(name.size() + 1, '\0');
      if (!ReadAt(names->offset + section->nameOffset, found.data(), found.size()))
        continue;
      if (found.back() != '\0' || std::string_view(found.data(), name.size()) != name)
        continue;
      if (section->type == kNoBits)
        return std::nullopt;
      return Extent{section->offset, section->size};
    }
    return std::nullopt;
  }

  bool ReadAt(std::uint64_t offset, void* data, std::uint64_t size) {
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_)
      return false;
    in_.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return in_.gcount() == static_cast<std::streamsize>(size);
  }

 private:
  static constexpr std::uint32_t kNoBits = 8;

  struct Header {
    std::uint64_t nameOffset = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t link = 0;
  };

  std::optional<Header> Section(std::uint64_t index) {
    if (index > (UINT64_MAX - tableOffset_) / entrySize_)
      return std::nullopt;
    std::array<unsigned char, 64> raw{};
    const std::uint64_t size = wide_ ? 64 : 40;
    if (!ReadAt(tableOffset_ + index * entrySize_, raw.data(), size))
      return std::nullopt;
    Header h;
    h.nameOffset = Number(raw.data(), 4);
    h.type = static_cast<std::uint32_t>(Number(raw.data() + 4, 4));
    if (wide_) {
      h.offset = Number(raw.data() + 24, 8);
      h.size = Number(raw.data() + 32, 8);
      h.link = Number(raw.data() + 40, 4);
    } else {
      h.offset = Number(raw.data() + 16, 4);
      h.size = Number(raw.data() + 20, 4);
      h.link = Number(raw.data() + 24, 4);
    }
    return h;
  }

  std::uint64_t Number(const unsigned char* p, int bytes) const {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      const int at = little_ ? bytes - 1 - i : i;
      value = (value << 8) | p[at];
    }
    return value;
  }

  std::ifstream in_;
  bool wide_ = true;
  bool little_ = true;
  std::uint64_t entrySize_ = 64;
  std::uint64_t tableOffset_ = 0;
};

// One node of the resource tree: a 16-bit total length, a 16-bit value length (in characters
// for text, in bytes otherwise), a 16-bit type (1 text, 0 binary), the zero-terminated key,
// then the value and the children, each starting on a 32-bit boundary.
struct Node {
  std::size_t end = 0;
  std::u16string key;
  std::size_t valueBegin = 0;
  std::size_t valueSize = 0;
  bool text = false;
  std::size_t childrenBegin = 0;
};

std::uint16_t Word(std::span<const std::byte> data, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(data[at]) |
                                    (std::to_integer<unsigned>(data[at + 1]) << 8));
}

std::size_t Align4(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

std::optional<Node> ParseNode(std::span<const std::byte> data, std::size_t begin,
                              std::size_t limit) {
  if (begin > limit || limit - begin < 6)
    return std::nullopt;
  const std::size_t length = Word(data, begin);
  const std::size_t valueLength = Word(data, begin + 2);
  const std::uint16_t type = Word(data, begin + 4);
  if (length < 6 || length > limit - begin)
    return std::nullopt;

  Node node;
  node.end = begin + length;
  std::size_t at = begin + 6;
  for (;;) {
    if (node.end - at < 2)
      return std::nullopt;  // key without its terminating zero
    const char16_t c = static_cast<char16_t>(Word(data, at));
    at += 2;
    if (c == 0)
      break;
    node.key.push_back(c);
  }
  node.text = type == 1;
  node.valueBegin = std::min(Align4(at), node.end);
  // Writers disagree on whether a text length counts characters or bytes; cutting it at the
  // node's end keeps either from reaching into the next node.
  const std::size_t wanted = node.text ? valueLength * 2 : valueLength;
  node.valueSize = std::min(wanted, node.end - node.valueBegin);
  node.childrenBegin = std::min(Align4(node.valueBegin + node.valueSize), node.end);
  return node;
}

bool SameKey(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size())
    return false;
  const auto lower = [](char16_t c) -> char16_t {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

std::optional<Node> FindChild(std::span<const std::byte> data, const Node& parent,
                              std::u16string_view key) {
  std::size_t at = parent.childrenBegin;
  while (at < parent.end) {
    const auto child = ParseNode(data, at, parent.end);
    if (!child)
      return std::nullopt;
    if (SameKey(child->key, key))
      return child;
    at = Align4(child->end);  // every node is at least 6 bytes long, so this moves on
  }
  return std::nullopt;
}

}  // namespace

std::uint32_t GetVersionInfoSize(const std::u16string& path) {
  ElfFile file(path);
  const auto section = file.FindSection(kVersionSectionName);
  if (!section || section->size == 0 || section->size > kMaxResourceSize)
    return 0;
  return static_cast<std::uint32_t>(section->size);
}

bool GetVersionInfo(const std::u16string& path, std::uint32_t size, std::byte* data) {
  ElfFile file(path);
  const auto section = file.FindSection(kVersionSectionName);
  if (!section || section->size == 0 || section->size > size)
    return false;
  return file.ReadAt(section->offset, data, section->size);
}

std::optional<VersionValue> QueryVersionValue(std::span<const std::byte> data,
                                              std::u16string_view path) {
  auto node = ParseNode(data, 0, data.size());
  if (!node || !SameKey(node->key, u"VS_VERSION_INFO"))
    return std::nullopt;
  std::size_t at = 0;
  while (at < path.size()) {
    if (path[at] == u'\\') {
      ++at;
      continue;
    }
    const std::size_t stop = std::min(path.find(u'\\', at), path.size());
    node = FindChild(data, *node, path.substr(at, stop - at));
    if (!node)
      return std::nullopt;
    at = stop;
  }
  return VersionValue{data.subspan(node->valueBegin, node->valueSize), node->text};
}

std::u16string VersionValueText(const VersionValue& value) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < value.bytes.size(); at += 2) {
    const char16_t c = static_cast<char16_t>(Word(value.bytes, at));
    if (c == 0)
      break;
    text.push_back(c);
  }
  return text;
}

}  // namespace quillora
