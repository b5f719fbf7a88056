// The cost of one synchronised call's round trip from a worker thread to the user-interface
// thread and back, against two peers measured in the same run: Qt's own blocking call across
// threads (a blocking queued invocation) and a bare ping-pong of two threads on a mutex and
// condition variable, the floor of two wake-ups. The user-interface thread sleeps in its event
// loop between calls, as the window's does during a run; one more row times the same calls
// while it polls instead.
//
//   bench_sync [calls] [repetitions]
#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "app/SyncBridge.h"
#include "platform/Synchronize.h"

namespace quillora {
namespace {

using Clock = std::chrono::steady_clock;

double MicrosecondsPerCall(Clock::duration elapsed, int calls) {
  return std::chrono::duration<double, std::micro>(elapsed).count() / calls;
}

// The user-interface thread waits in its event loop, as the window's does during a run, while
// the worker makes its calls one after another.
template <typename Call>
double TimeThroughEventLoop(int calls, Call call) {
  QEventLoop loop;
  Clock::time_point start, end;
  std::thread worker([&] {
    start = Clock::now();
    for (int i = 0; i < calls; ++i) {
      call();
    }
    end = Clock::now();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  return MicrosecondsPerCall(end - start, calls);
}

// The same calls while the user-interface thread keeps returning to processEvents with a time
// limit, which gives up waiting once nothing is pending: it polls rather than sleeps.
double TimeSynchronizeWhilePolling(int calls) {
  int ran = 0;
  std::atomic<bool> finished{false};
  Clock::time_point start, end;
  std::thread worker([&] {
    start = Clock::now();
    for (int i = 0; i < calls; ++i) {
      SynchronizeCall([&] { ++ran; });
    }
    end = Clock::now();
    finished = true;
  });
  while (!finished) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  worker.join();
  if (ran != calls) {
    std::abort();
  }
  return MicrosecondsPerCall(end - start, calls);
}

double TimeSynchronize(int calls) {
  int ran = 0;
  const double us = TimeThroughEventLoop(calls, [&] { SynchronizeCall([&] { ++ran; }); });
  if (ran != calls) {
    std::abort();
  }
  return us;
}

double TimeBlockingQueued(QObject* target, int calls) {
  int ran = 0;
  const double us = TimeThroughEventLoop(calls, [&] {
    QMetaObject::invokeMethod(
        target, [&] { ++ran; }, Qt::BlockingQueuedConnection);
  });
  if (ran != calls) {
    std::abort();
  }
  return us;
}

double TimePingPong(int calls) {
  std::mutex mutex;
  std::condition_variable cv;
  int turn = 0;  // even: the requester's, odd: the server's
  std::thread server([&] {
    for (int i = 0; i < calls; ++i) {
      std::unique_lock lock(mutex);
      cv.wait(lock, [&] { return turn % 2 == 1; });
      ++turn;
      cv.notify_all();
    }
  });
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < calls; ++i) {
    std::unique_lock lock(mutex);
    ++turn;
    cv.notify_all();
    cv.wait(lock, [&] { return turn % 2 == 0; });
  }
  const Clock::time_point end = Clock::now();
  server.join();
  return MicrosecondsPerCall(end - start, calls);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace
}  // namespace quillora

int main(int argc, char** argv) {
  using namespace quillora;
  const int calls = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int reps = argc > 2 ? std::atoi(argv[2]) : 5;
  if (calls <= 0 || reps <= 0) {
    std::fprintf(stderr, "usage: bench_sync [calls] [repetitions]\n");
    return 2;
  }
  QApplication app(argc, argv);
  SyncBridge bridge;
  QObject target;
  std::vector<double> ours, polling, queued, pingPong;
  // The three take turns within each repetition, so a busy machine's changes of pace fall on
  // all of them.
  for (int r = 0; r < reps; ++r) {
    ours.push_back(TimeSynchronize(calls));
    polling.push_back(TimeSynchronizeWhilePolling(calls));
    queued.push_back(TimeBlockingQueued(&target, calls));
    pingPong.push_back(TimePingPong(calls));
  }
  const double o = Median(ours), l = Median(polling), q = Median(queued), p = Median(pingPong);
  std::printf("%d calls, median of %d, microseconds per round trip\n", calls, reps);
  std::printf("  SynchronizeCall          %8.2f\n", o);
  std::printf("  SynchronizeCall, polling %8.2f\n", l);
  std::printf("  blocking queued call     %8.2f   ours / it %5.2f\n", q, o / q);
  std::printf("  mutex ping-pong          %8.2f   ours / it %5.2f\n", p, o / p);
  return 0;
}
