#include "platform/Synchronize.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace quillora {
namespace {

// Lives on the requester's stack until its call has run.
struct Request {
  explicit Request(const std::function<void()>& m) : method(m) {}
  const std::function<void()>& method;
  std::mutex mutex;
  std::condition_variable ran;
  // Set under mutex; read without it while the requester spins.
  std::atomic<bool> done{false};
  std::exception_ptr failure;
};

struct Service {
  std::mutex mutex;
  std::deque<Request*> pending;
  std::function<void()> wake;
  int wakeCallsRunning = 0;
  std::condition_variable wakeCallsEnded;
  std::atomic<ThreadId> userInterfaceThread{};
};

// Never destroyed: a thread that has been let go may still ask for it while the program
// ends.
Service& TheService() {
  static Service* const service = new Service;
  return *service;
}

// Static initialisation runs on the thread that starts the program.
[[maybe_unused]] const bool kStartThreadRecorded = (RecordUserInterfaceThread(), true);

void CpuRelax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  __asm__ __volatile__("yield");
#endif
}

// A call the user-interface thread serves promptly is often done within a few microseconds;
// going to sleep on the condition variable and being woken again costs more than that, so the
// requester watches for a short while first. Bounded, so that a call that takes long (or a
// machine where the two threads share a core) costs at most this much of spinning.
constexpr std::chrono::nanoseconds kSpinBeforeSleeping{4000};

void SpinBriefly(Request& request) {
  const auto deadline = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  for (int i = 1; !request.done.load(std::memory_order_acquire); ++i) {
    CpuRelax();
    // Reading the clock costs more than a pause; look at it now and then.
    if (i % 32 == 0 && std::chrono::steady_clock::now() >= deadline) {
      return;
    }
  }
}

}  // namespace

void RecordUserInterfaceThread() {
  TheService().userInterfaceThread.store(CurrentThreadId());
}

bool IsUserInterfaceThread() noexcept {
  return TheService().userInterfaceThread.load() == CurrentThreadId();
}

void SetWakeUserInterfaceHook(std::function<void()> hook) {
  Service& service = TheService();
  std::unique_lock lock(service.mutex);
  std::swap(service.wake, hook);
  // A requester may hold a copy of the old hook; the old hook's target may be destroyed as
  // soon as we return.
  service.wakeCallsEnded.wait(lock, [&] { return service.wakeCallsRunning == 0; });
  lock.unlock();
  // hook, now the old one, is destroyed here, outside the lock.
}

void SynchronizeCall(const std::function<void()>& method) {
  if (IsUserInterfaceThread()) {
    method();
    return;
  }
  Service& service = TheService();
  Request request(method);
  std::function<void()> wake;
  {
    std::lock_guard lock(service.mutex);
    service.pending.push_back(&request);
    wake = service.wake;
    ++service.wakeCallsRunning;
  }
  try {
    if (wake) {
      wake();
    }
  } catch (...) {
    // The request is queued all the same; the next serving, when idle, runs it.
  }
  wake = nullptr;
  {
    std::lock_guard lock(service.mutex);
    if (--service.wakeCallsRunning == 0) {
      service.wakeCallsEnded.notify_all();
    }
  }
  SpinBriefly(request);
  std::exception_ptr failure;
  {
    // Taken even when the spin saw the call done: the server may still hold the lock, and the
    // request must outlive its last touch.
    std::unique_lock lock(request.mutex);
    request.ran.wait(lock, [&] { return request.done.load(std::memory_order_relaxed); });
    failure = std::move(request.failure);
  }
  if (failure) {
    std::rethrow_exception(std::move(failure));
  }
}

bool CheckSynchronize() {
  if (!IsUserInterfaceThread()) {
    return false;
  }
  Service& service = TheService();
  std::deque<Request*> taken;
  {
    std::lock_guard lock(service.mutex);
    taken.swap(service.pending);
  }
  for (Request* request : taken) {
    std::exception_ptr failure;
    try {
      request->method();
    } catch (...) {
      failure = std::current_exception();
    }
    // The exception is moved, never copied, to the requester: this thread keeps no hold on it
    // once the catch block has ended, so the requester is the one that frees it.
    std::lock_guard lock(request->mutex);
    request->failure = std::move(failure);
    request->done.store(true, std::memory_order_release);
    // Under the lock: the requester may free the request as soon as it sees done.
    request->ran.notify_one();
  }
  return !taken.empty();
}

}  // namespace quillora
