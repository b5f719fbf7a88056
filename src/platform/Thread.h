#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quillora {

// Identifies a running thread. The identifier of a thread that has ended may be given to a
// thread created later.
using ThreadId = std::thread::id;

ThreadId CurrentThreadId() noexcept;
void SleepMilliseconds(int milliseconds);

// Scheduling priority of a thread, relative to the program's own. On Linux it is the thread's
// nice value: Idle is the lowest the system has, Lowest/Lower are 10/5 steps below the
// program's, Higher/Highest 5/10 above and TimeCritical the highest. Raising needs a privilege
// the program may not have; a priority the system refuses leaves the thread at the program's.
enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// A platform thread that is created suspended: it exists, with its identifier, from the moment
// the object is constructed, but starts its procedure only at the first Resume.
//
// The procedure belongs to the thread, not to this object, so it may destroy the object that
// owns this PlatformThread (a thread that releases itself) as its last act.
class PlatformThread {
 public:
  // Throws Exception when the platform refuses to create the thread.
  explicit PlatformThread(std::function<void()> procedure);
  // Destroyed by its own thread, it lets the thread run on to its end. Destroyed by another
  // thread, it waits for the thread to end; a thread that was never resumed then ends without
  // running its procedure.
  ~PlatformThread();
  PlatformThread(const PlatformThread&) = delete;
  PlatformThread& operator=(const PlatformThread&) = delete;

  ThreadId Id() const noexcept { return id_; }

  // Takes effect when the thread leaves its start gate, so it is set before the first Resume.
  void SetPriority(ThreadPriority priority);
  ThreadPriority Priority() const;

  // Lets the thread run; later calls do nothing.
  void Resume();
  bool Suspended() const;

 private:
  struct Gate;
  std::shared_ptr<Gate> gate_;
  std::thread thread_;
  ThreadId id_;
};

// The name of the dynamic type of an exception, as a report shows it ("quillora::Exception").
std::u16string ExceptionTypeName(const std::exception& e);

}  // namespace quillora
