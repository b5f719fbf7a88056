#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillora {

// The dropped items of one drop, as the window toolkit delivered them: their full paths in the
// order the desktop gave them. A drop handle is released exactly once, by DragFinish.
struct TDropFiles;
using HDROP = TDropFiles*;

// Index that asks DragQueryFile for the number of items.
inline constexpr uint32_t kDragQueryCount = 0xFFFFFFFF;

// Makes a drop handle for the paths of one drop.
HDROP MakeDropHandle(std::vector<std::u16string> paths);

// With kDragQueryCount: the number of items. With no buffer: the length of the item's path in
// characters, without a terminating zero. With a buffer of size characters: copies as much of
// the path as fits with a terminating zero and returns the characters copied. An index past
// the items gives 0.
uint32_t DragQueryFile(HDROP drop, uint32_t index, char16_t* buffer, uint32_t size);

// Releases the handle; it must not be used afterwards.
void DragFinish(HDROP drop);

// How many drop handles are alive: every one made and not yet released. For tests that prove a
// handle is released on every way out.
int LiveDropHandles();

}  // namespace quillora
