#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "job/TThreadFileNameList.h"

namespace quillora {
namespace {

std::u16string PathOf(int i) {
  const std::string digits = std::to_string(i);
  return u"/home/user/Documents/drop/file-" + std::u16string(digits.begin(), digits.end()) +
         u".txt";
}

int NumberOf(const std::u16string& path) {
  const std::u16string::size_type dash = path.rfind(u'-');
  int n = 0;
  for (auto k = dash + 1; k < path.size() && path[k] != u'.'; ++k)
    n = n * 10 + (path[k] - u'0');
  return n;
}

// The user-interface thread drops batches while the worker takes from the front and a list view
// reads rows: every path arrives exactly once and in the order of the drops.
TEST(QueueThreads, AppendsAndTakesLoseNothingAndRepeatNothing) {
  constexpr int kTotal = 20000;
  TThreadFileNameList queue;
  std::atomic<bool> dropping{true};

  std::thread ui([&] {
    int next = 0;
    int batch = 1;
    while (next < kTotal) {
      std::vector<std::u16string> paths;
      for (int k = 0; k < batch && next < kTotal; ++k)
        paths.push_back(PathOf(next++));
      // A path twice in one drop is added once.
      paths.push_back(paths.front());
      queue.AddFiles(paths);
      batch = batch % 97 + 1;
    }
    dropping = false;
  });

  std::atomic<bool> taking{true};
  std::thread viewer([&] {
    while (taking) {
      const int32_t count = queue.Count();
      const std::u16string row = queue.Get(count / 2);
      // Rows drawn while the worker takes may lie past the end: they are empty, never torn.
      if (!row.empty()) {
        EXPECT_EQ(row, PathOf(NumberOf(row)));
      }
    }
  });

  std::vector<int> received;
  received.reserve(kTotal);
  for (;;) {
    std::u16string path = queue.PopFront();
    if (!path.empty()) {
      received.push_back(NumberOf(path));
      continue;
    }
    // As the worker does: only an empty take is followed by asking IsEmpty, and a path
    // appended between the two calls is found at the next take.
    if (!dropping && queue.IsEmpty())
      break;
    std::this_thread::yield();
  }
  ui.join();
  taking = false;
  viewer.join();

  ASSERT_EQ(received.size(), static_cast<size_t>(kTotal));
  for (int i = 0; i < kTotal; ++i)
    ASSERT_EQ(received[static_cast<size_t>(i)], i);
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(QueueThreads, LockIsReentrantAndLeftOnEveryWayOut) {
  TLockObject object;
  auto other_thread_can_enter = [&] {
    bool entered = false;
    std::thread([&] {
      entered = object.try_lock();
      if (entered)
        object.unlock();
    }).join();
    return entered;
  };
  {
    TLock outer(object);
    TLock inner(object);
    EXPECT_FALSE(other_thread_can_enter());
  }
  EXPECT_TRUE(other_thread_can_enter());
  try {
    TLock guard(object);
    throw 1;
  } catch (int) {
  }
  EXPECT_TRUE(other_thread_can_enter());
}

}  // namespace
}  // namespace quillora
