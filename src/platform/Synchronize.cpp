#include "platform/Synchronize.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <utility>

namespace quillora {
namespace {

struct Request {
  const std::function<void()>* method;
  std::promise<void> done;  // carries the method's exception back to the requester
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
  Request request{&method, {}};
  std::future<void> done = request.done.get_future();
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
  done.get();
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
    // The requester owns the request and may leave as soon as its promise is kept: nothing of
    // it is touched after that.
    try {
      (*request->method)();
      request->done.set_value();
    } catch (...) {
      request->done.set_exception(std::current_exception());
    }
  }
  return !taken.empty();
}

}  // namespace quillora
