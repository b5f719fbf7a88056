#include "job/TJvThread.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "platform/Synchronize.h"
#include "platform/Text.h"

namespace quillora {
namespace {

std::mutex reportLock;
TThreadExceptionReport report;

void WriteReportToStandardError(const Exception& e) {
  std::cerr << ToUtf8(ExceptionTypeName(e)) << ": " << e.what() << '\n';
}

void ShowThreadException(const Exception& e) {
  TThreadExceptionReport show;
  {
    std::lock_guard lock(reportLock);
    show = report;
  }
  if (show) {
    show(e);
  } else {
    WriteReportToStandardError(e);
  }
}

}  // namespace

void SetThreadExceptionReport(TThreadExceptionReport newReport) {
  std::lock_guard lock(reportLock);
  report = std::move(newReport);
}

TJvBaseThread::TJvBaseThread(TJvThread* sender, TJvThreadExecuteEvent executeEvent, void* params)
    : FSender(sender),
      FExecuteEvent(std::move(executeEvent)),
      FParams(params),
      FThread([this] { ThreadProc(); }) {}

TJvBaseThread::~TJvBaseThread() = default;

void TJvBaseThread::Resume() {
  if (!FOnResumeDone.exchange(true)) {
    FExecuteIsActive = true;
  }
  FThread.Resume();
}

void TJvBaseThread::ThreadProc() {
  // A Terminate that came before the thread first ran skips the body.
  if (!FTerminated) {
    FExecuteIsActive = true;
    if (FInternalTerminate) {
      FTerminated = true;
    }
    try {
      FExecuteEvent(this, FParams);
    } catch (const Exception&) {
      FException = std::current_exception();
      ReportException();
      FException = nullptr;
    } catch (...) {
      FFatalException = std::current_exception();
    }
  }

  // Read once: it decides both whether the end step takes the run off the list and whether
  // the thread then releases it, and the two must agree.
  const bool release = FFreeOnTerminate;
  try {
    SynchronizeCall([this] {
      if (FOnTerminate) {
        FOnTerminate(this);
      }
    });
  } catch (...) {
    // The end step drops its handlers' failures itself; nothing else in it throws.
  }
  // From here on the component may be gone: touch nothing but this run.
  FThreadEnded = true;
  if (release) {
    delete this;
  }
}

void TJvBaseThread::ReportException() {
  try {
    SynchronizeCall([this] {
      try {
        std::rethrow_exception(FException);
      } catch (const Exception& e) {
        ShowThreadException(e);
      }
    });
  } catch (...) {
    // A report that fails is dropped; the run ends normally all the same.
  }
}

TJvThread::~TJvThread() {
  Terminate();
  while (OneThreadIsRunning()) {
    SleepMilliseconds(1);
    CheckSynchronize();
  }
  // Runs kept after their end (FreeOnTerminate off) belong to the component; releasing one
  // waits for its thread to leave.
  std::vector<TJvBaseThread*> kept;
  {
    std::lock_guard lock(FThreadsLock);
    kept.swap(FThreads);
  }
  for (TJvBaseThread* run : kept) {
    delete run;
  }
}

TJvBaseThread* TJvThread::Execute(void* Params) {
  if (Exclusive && OneThreadIsRunning()) {
    return nullptr;
  }
  if (MaxCount > 0 && Count() >= MaxCount) {
    return nullptr;
  }
  if (!OnExecute) {
    return nullptr;
  }

  TJvBaseThread* run = nullptr;
  bool listed = false;
  try {
    run = new TJvBaseThread(this, OnExecute, Params);
    run->FFreeOnTerminate = FreeOnTerminate;
    run->FThread.SetPriority(Priority);
    run->FOnTerminate = [this](TJvBaseThread* ended) { EndStep(ended); };
    {
      std::lock_guard lock(FThreadsLock);
      FThreads.push_back(run);
    }
    listed = true;
    if (OnBegin) {
      OnBegin(this);
    }
  } catch (...) {
    if (run != nullptr) {
      if (!listed) {
        // Nobody could ever end or release a run that is not listed.
        delete run;
        return nullptr;
      }
      run->FInternalTerminate = true;
    }
  }

  if (RunOnCreate && run != nullptr) {
    run->Resume();
  }
  return run;
}

int32_t TJvThread::Count() const {
  std::lock_guard lock(FThreadsLock);
  return static_cast<int32_t>(FThreads.size());
}

bool TJvThread::Terminated() const {
  const ThreadId self = CurrentThreadId();
  std::lock_guard lock(FThreadsLock);
  bool result = true;
  for (const TJvBaseThread* run : FThreads) {
    if (!run->FThreadEnded && run->ThreadID() == self) {
      return run->FTerminated;
    }
    result = result && run->FTerminated;
  }
  return result;
}

void TJvThread::Terminate() {
  std::lock_guard lock(FThreadsLock);
  for (TJvBaseThread* run : FThreads) {
    run->FTerminated = true;
  }
  // A run that never started could not notice the flag; started, it skips its body and ends.
  for (TJvBaseThread* run : FThreads) {
    while (run->Suspended()) {
      run->Resume();
    }
  }
}

void TJvThread::Synchronize(const std::function<void()>& Method) {
  if (LastThread() != nullptr) {
    SynchronizeCall(Method);
  } else {
    Method();
  }
}

bool TJvThread::OneThreadIsRunning() const {
  std::lock_guard lock(FThreadsLock);
  return std::any_of(FThreads.begin(), FThreads.end(),
                     [](const TJvBaseThread* run) { return !run->FFinished; });
}

TJvBaseThread* TJvThread::LastThread() const {
  const ThreadId self = CurrentThreadId();
  std::lock_guard lock(FThreadsLock);
  for (TJvBaseThread* run : FThreads) {
    if (!run->FThreadEnded && run->ThreadID() == self) {
      return run;
    }
  }
  return nullptr;
}

// The run's end callback, as a synchronised call on the user-interface thread while the run's
// thread waits.
void TJvThread::EndStep(TJvBaseThread* run) {
  run->FExecuteIsActive = false;
  try {
    if (OnFinish) {
      OnFinish(run);
    }
  } catch (...) {
  }
  if (run->FFreeOnTerminate) {
    std::lock_guard lock(FThreadsLock);
    FThreads.erase(std::remove(FThreads.begin(), FThreads.end(), run), FThreads.end());
  }
  run->FFinished = true;
  if (Count() == 0) {
    try {
      if (OnFinishAll) {
        OnFinishAll(this);
      }
    } catch (...) {
    }
  }
}

}  // namespace quillora
