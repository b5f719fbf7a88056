#include "job/TThreadFileNameList.h"

#include <limits>
#include <utility>

namespace quillora {

TThreadFileNameList::TThreadFileNameList() = default;

TThreadFileNameList::~TThreadFileNameList() = default;

void TThreadFileNameList::AddFiles(const std::vector<std::u16string>& paths) {
  TLock lock(LockObject);
  for (const std::u16string& path : paths) {
    if (Pending.contains(path))
      continue;
    Items.push_back(path);
    try {
      Pending.insert(Items.back());
    } catch (...) {
      // Keep the index true even when memory runs out half-way through a drop.
      Items.pop_back();
      throw;
    }
  }
}

std::u16string TThreadFileNameList::PopFront() {
  TLock lock(LockObject);
  if (Items.empty())
    return std::u16string();
  // The view must go before the string it refers to is moved out.
  Pending.erase(Items.front());
  std::u16string front = std::move(Items.front());
  Items.pop_front();
  return front;
}

bool TThreadFileNameList::IsEmpty() {
  TLock lock(LockObject);
  return Items.empty();
}

int32_t TThreadFileNameList::Count() {
  TLock lock(LockObject);
  // Beyond what a 32-bit count can say, the queue reports the largest count rather than a
  // negative one, so that callers iterating positions stay inside the queue.
  constexpr auto kMax = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(Items.size() < kMax ? Items.size() : kMax);
}

std::u16string TThreadFileNameList::Get(int32_t index) {
  TLock lock(LockObject);
  if (index < 0 || static_cast<size_t>(index) >= Items.size())
    return std::u16string();
  return Items[static_cast<size_t>(index)];
}

void TThreadFileNameList::Clear() {
  TLock lock(LockObject);
  // Swapping with empty containers gives their storage back, which clear() alone may keep.
  std::unordered_set<std::u16string_view>().swap(Pending);
  std::deque<std::u16string>().swap(Items);
}

}  // namespace quillora
