#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quillora {

// The lock object: a plain re-entrant lock, used for nothing else.
using TLockObject = std::recursive_mutex;

// Holds a lock object's lock for its own lifetime, so the lock is left on every way out.
class TLock {
 public:
  explicit TLock(TLockObject& lock) : lock_(lock) { lock_.lock(); }
  ~TLock() { lock_.unlock(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  TLockObject& lock_;
};

// The queue of input paths waiting for conversion, oldest first, no two equal. Every operation
// is atomic under the queue's own lock; a sequence of two is not.
class TThreadFileNameList {
 public:
  TThreadFileNameList();
  ~TThreadFileNameList();
  TThreadFileNameList(const TThreadFileNameList&) = delete;
  TThreadFileNameList& operator=(const TThreadFileNameList&) = delete;

  // Appends, in order, each path not already pending (exact, case-sensitive comparison).
  void AddFiles(const std::vector<std::u16string>& paths);
  // The oldest path, removed; the empty text when nothing is pending.
  std::u16string PopFront();
  bool IsEmpty();
  int32_t Count();
  // A copy of the path at that position from the front; the empty text outside the queue.
  std::u16string Get(int32_t index);
  void Clear();

 private:
  TLockObject LockObject;
  std::deque<std::u16string> Items;
  // The pending paths again, as views of the strings in Items, so that a drop of many files
  // checks each path in constant time instead of searching the whole queue. A deque keeps its
  // elements in place when it grows at the back or shrinks at the front, so the views stay
  // valid; every operation that removes a path removes its view first. Declared after Items
  // so that it is destroyed before the strings it refers to.
  std::unordered_set<std::u16string_view> Pending;
};

}  // namespace quillora
