#include "platform/Thread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <typeinfo>
#include <utility>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif
#if defined(__GNUG__)
#include <cxxabi.h>
#endif

#include "platform/Exception.h"
#include "platform/Text.h"

namespace quillora {

ThreadId CurrentThreadId() noexcept {
  return std::this_thread::get_id();
}

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Shared by the object and its thread, so that either may be gone first.
struct PlatformThread::Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool resumed = false;
  bool abandoned = false;
  ThreadPriority priority = ThreadPriority::Normal;
};

namespace {

#if defined(__linux__)
// Linux keeps a nice value per thread; setpriority on the thread's own id changes only it.
void ApplyPriority(ThreadPriority priority) {
  int offset = 0;
  switch (priority) {
    case ThreadPriority::Idle:
      offset = 40;
      break;
    case ThreadPriority::Lowest:
      offset = 10;
      break;
    case ThreadPriority::Lower:
      offset = 5;
      break;
    case ThreadPriority::Normal:
      return;
    case ThreadPriority::Higher:
      offset = -5;
      break;
    case ThreadPriority::Highest:
      offset = -10;
      break;
    case ThreadPriority::TimeCritical:
      offset = -40;
      break;
  }
  const auto self = static_cast<id_t>(gettid());
  errno = 0;
  const int base = getpriority(PRIO_PROCESS, self);
  if (errno != 0) {
    return;
  }
  // A refusal (raising without the privilege) leaves the thread as it is.
  (void)setpriority(PRIO_PROCESS, self, std::clamp(base + offset, -20, 19));
}
#else
void ApplyPriority(ThreadPriority) {}
#endif

}  // namespace

PlatformThread::PlatformThread(std::function<void()> procedure) : gate_(std::make_shared<Gate>()) {
  try {
    thread_ = std::thread([gate = gate_, procedure = std::move(procedure)] {
      ThreadPriority priority;
      {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->resumed || gate->abandoned; });
        if (!gate->resumed) {
          return;
        }
        priority = gate->priority;
      }
      ApplyPriority(priority);
      procedure();
    });
  } catch (const std::system_error& e) {
    throw Exception(FormatMessage(u"スレッドを作成できません。%s", {FromUtf8(e.what())}));
  }
  id_ = thread_.get_id();
}

PlatformThread::~PlatformThread() {
  if (!thread_.joinable()) {
    return;
  }
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
    return;
  }
  {
    std::lock_guard lock(gate_->mutex);
    if (!gate_->resumed) {
      gate_->abandoned = true;
      gate_->opened.notify_one();
    }
  }
  thread_.join();
}

void PlatformThread::SetPriority(ThreadPriority priority) {
  std::lock_guard lock(gate_->mutex);
  gate_->priority = priority;
}

ThreadPriority PlatformThread::Priority() const {
  std::lock_guard lock(gate_->mutex);
  return gate_->priority;
}

void PlatformThread::Resume() {
  std::lock_guard lock(gate_->mutex);
  if (!gate_->resumed) {
    gate_->resumed = true;
    gate_->opened.notify_one();
  }
}

bool PlatformThread::Suspended() const {
  std::lock_guard lock(gate_->mutex);
  return !gate_->resumed;
}

std::u16string ExceptionTypeName(const std::exception& e) {
  const char* mangled = typeid(e).name();
#if defined(__GNUG__)
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  if (status == 0 && demangled != nullptr) {
    std::u16string name = FromUtf8(demangled);
    std::free(demangled);
    return name;
  }
  std::free(demangled);
#endif
  return FromUtf8(mangled);
}

}  // namespace quillora
