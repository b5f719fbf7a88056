#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
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
};

}  // namespace quillora
