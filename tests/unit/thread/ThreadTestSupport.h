#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "job/TJvThread.h"
#include "platform/Synchronize.h"
#include "platform/Thread.h"

namespace quillora::testing {

// Long enough never to be reached by a correct run, even under a sanitizer on a loaded
// machine; it only turns a hang into a failure.
inline constexpr std::chrono::seconds kGiveUp{30};

// A one-shot flag that threads can wait for.
class Signal {
 public:
  void Set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  bool IsSet() {
    std::lock_guard lock(mutex_);
    return set_;
  }
  [[nodiscard]] bool Wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kGiveUp, [&] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// Counts the wake-ups the service asks for: each one means a request from another thread has
// been queued.
class WakeCounter {
 public:
  void Wake() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  [[nodiscard]] bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kGiveUp, [&] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

// Plays the user-interface thread's idle loop: serves the synchronised calls until done()
// holds.
[[nodiscard]] inline bool ServeUntil(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + kGiveUp;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) {
      return false;
    }
    if (!CheckSynchronize()) {
      SleepMilliseconds(1);
    }
  }
  return true;
}

// The test thread is the user-interface thread; every wake-up the service asks for is counted.
class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordUserInterfaceThread();
    SetWakeUserInterfaceHook([this] { wakes.Wake(); });
  }
  void TearDown() override {
    SetWakeUserInterfaceHook(nullptr);
    SetThreadExceptionReport(nullptr);
  }

  WakeCounter wakes;
};

}  // namespace quillora::testing
