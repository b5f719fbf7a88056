#include "platform/DropFiles.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace quillora {

struct TDropFiles {
  std::vector<std::u16string> paths;
};

namespace {
std::atomic<int> live_handles{0};
}  // namespace

HDROP MakeDropHandle(std::vector<std::u16string> paths) {
  auto* drop = new TDropFiles{std::move(paths)};
  ++live_handles;
  return drop;
}

uint32_t DragQueryFile(HDROP drop, uint32_t index, char16_t* buffer, uint32_t size) {
  if (index == kDragQueryCount)
    return static_cast<uint32_t>(drop->paths.size());
  if (index >= drop->paths.size())
    return 0;
  const std::u16string& path = drop->paths[index];
  if (buffer == nullptr)
    return static_cast<uint32_t>(path.size());
  if (size == 0)
    return 0;
  const size_t n = std::min<size_t>(path.size(), size - 1);
  std::copy_n(path.data(), n, buffer);
  buffer[n] = u'\0';
  return static_cast<uint32_t>(n);
}

void DragFinish(HDROP drop) {
  delete drop;
  --live_handles;
}

int LiveDropHandles() {
  return live_handles.load();
}

}  // namespace quillora
