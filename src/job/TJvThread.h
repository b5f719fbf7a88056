#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/Exception.h"
#include "platform/Thread.h"

namespace quillora {

class TJvThread;
class TJvBaseThread;

using TJvThreadNotifyEvent = std::function<void(TJvThread* Sender)>;
using TJvRunNotifyEvent = std::function<void(TJvBaseThread* Sender)>;
using TJvThreadExecuteEvent = std::function<void(TJvBaseThread* Sender, void* Params)>;

// One run of a TJvThread's body, on a platform thread of its own. Set up with its thread
// suspended, then working, ending (the body has returned, the end step waits for the
// user-interface thread), ended (off the list when FreeOnTerminate is on) and, with
// FreeOnTerminate on, released by its own thread. Nobody may touch a released run: a caller
// that keeps the pointer Execute returned may use it only while the run is known to be listed.
class TJvBaseThread {
 public:
  ~TJvBaseThread();
  TJvBaseThread(const TJvBaseThread&) = delete;
  TJvBaseThread& operator=(const TJvBaseThread&) = delete;

  TJvThread* Sender() const noexcept { return FSender; }
  void* Params() const noexcept { return FParams; }
  ThreadId ThreadID() const noexcept { return FThread.Id(); }
  // The run's own stop flag; the body asks its component's Terminated instead.
  bool Terminated() const noexcept { return FTerminated.load(); }
  bool Suspended() const { return FThread.Suspended(); }
  bool FreeOnTerminate() const noexcept { return FFreeOnTerminate; }
  bool InternalTerminate() const noexcept { return FInternalTerminate.load(); }
  bool ExecuteIsActive() const noexcept { return FExecuteIsActive.load(); }
  // Set by the component's end step: from then on the run no longer counts as running.
  bool Finished() const noexcept { return FFinished.load(); }
  // A thrown value other than an Exception that escaped the body. Readable once Finished,
  // which only a run kept after its end (FreeOnTerminate off) lets anyone see.
  std::exception_ptr FatalException() const { return FFatalException; }

  // Starts the thread: the first call marks the run active and lets the thread go; later
  // calls do nothing.
  void Resume();

 private:
  friend class TJvThread;

  TJvBaseThread(TJvThread* sender, TJvThreadExecuteEvent executeEvent, void* params);

  void ThreadProc();
  void ReportException();

  TJvThread* const FSender;
  const TJvThreadExecuteEvent FExecuteEvent;
  void* const FParams;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FInternalTerminate{false};
  std::atomic<bool> FOnResumeDone{false};
  std::atomic<bool> FExecuteIsActive{false};
  std::atomic<bool> FFinished{false};
  // Set by the thread as it leaves, after the end step. A finished thread's identifier may be
  // reused by a new thread, so a run whose thread has left no longer answers to it.
  std::atomic<bool> FThreadEnded{false};
  bool FFreeOnTerminate = true;  // fixed during set-up, before the thread starts
  std::function<void(TJvBaseThread*)> FOnTerminate;  // the component's end step
  std::exception_ptr FException;                     // held while it is being reported
  std::exception_ptr FFatalException;
  PlatformThread FThread;  // last: its thread exists from here on
};

// Runs a body in the background, one platform thread per run: the begin notification on the
// caller's thread before the run starts, the finish notification on the user-interface thread
// after the body has returned, calls handed over to the user-interface thread, and
// cooperative stopping. Used from the user-interface thread, except for Terminated, Terminate
// and Synchronize, which the body calls.
class TJvThread {
 public:
  TJvThread() = default;
  // Asks every run to stop and waits until none is running, serving the synchronised calls
  // (the runs' end steps among them) meanwhile; so it must run on the user-interface thread.
  ~TJvThread();
  TJvThread(const TJvThread&) = delete;
  TJvThread& operator=(const TJvThread&) = delete;

  // A start is refused while any listed run has not finished.
  bool Exclusive = true;
  // The most runs listed at once; 0 or less: no limit.
  int32_t MaxCount = 0;
  // A run starts as soon as it has been set up.
  bool RunOnCreate = true;
  // An ended run leaves the list and is released by its own thread. Off, it stays listed
  // until the component is destroyed.
  bool FreeOnTerminate = true;
  ThreadPriority Priority = ThreadPriority::Normal;

  // On the thread that calls Execute, after the run is listed and before it starts.
  TJvThreadNotifyEvent OnBegin;
  // The body, on the run's thread; copied into each run as it is created.
  TJvThreadExecuteEvent OnExecute;
  // On the user-interface thread, once per run, after its body has returned.
  TJvRunNotifyEvent OnFinish;
  // On the user-interface thread, when the last listed run has ended.
  TJvThreadNotifyEvent OnFinishAll;

  // Sets up and (RunOnCreate) starts a run with Params; returns it, or null when refused
  // (Exclusive, MaxCount, no OnExecute) or when the platform cannot create its thread. A
  // failure while setting up, OnBegin's included, is dropped: the run then stops itself
  // before its body does anything and ends through the normal end step.
  TJvBaseThread* Execute(void* Params);
  // The number of listed runs.
  int32_t Count() const;
  // On a run's own thread: that run's stop flag. On any other thread: whether every listed
  // run has been asked to stop (true when none is listed).
  bool Terminated() const;
  // Asks every listed run to stop and lets a suspended one start, so that it can end. Returns
  // at once.
  void Terminate();
  // From one of this component's runs: runs Method on the user-interface thread and waits for
  // it; what it throws is thrown here. From any other thread: runs Method at once.
  void Synchronize(const std::function<void()>& Method);
  // Whether some listed run has not finished.
  bool OneThreadIsRunning() const;
  // The listed run whose thread is the caller's, or null.
  TJvBaseThread* LastThread() const;

 private:
  void EndStep(TJvBaseThread* run);

  mutable std::mutex FThreadsLock;  // held only for short walks and changes of FThreads
  std::vector<TJvBaseThread*> FThreads;
};

// Shows an Exception that escaped a run's body. It is called on the user-interface thread, and
// the run waits until it returns; what it throws is dropped. The program sets a message box;
// without one the report goes to standard error. Empty restores that.
using TThreadExceptionReport = std::function<void(const Exception& e)>;
void SetThreadExceptionReport(TThreadExceptionReport report);

}  // namespace quillora
