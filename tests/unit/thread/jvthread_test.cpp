#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "ThreadTestSupport.h"
#include "job/TJvThread.h"
#include "platform/Exception.h"
#include "platform/Synchronize.h"
#include "platform/Text.h"

namespace quillora {
namespace {

using testing::ServeUntil;
using testing::Signal;
using testing::ThreadTest;

class TestError : public Exception {
 public:
  using Exception::Exception;
};

class TJvThreadTest : public ThreadTest {
 protected:
  const ThreadId ui = CurrentThreadId();
};

// Everything a run's handlers saw, each part written on the thread its handler runs on and read
// here once the end step has been served.
struct Observed {
  std::mutex lock;
  std::vector<std::string> order;
  void Note(const std::string& what) {
    std::lock_guard guard(lock);
    order.push_back(what);
  }
};

TEST_F(TJvThreadTest, ARunGoesBeginBodyFinishEachOnItsThread) {
  TJvThread component;
  Observed seen;
  int params = 0;
  std::atomic<bool> bodyStarted{false};

  bool bodyStartedDuringBegin = true;
  int32_t countInBegin = -1;
  component.OnBegin = [&](TJvThread* sender) {
    seen.Note("begin");
    EXPECT_EQ(sender, &component);
    EXPECT_EQ(CurrentThreadId(), ui);
    countInBegin = component.Count();
    SleepMilliseconds(10);  // a run started too early would be inside its body by now
    bodyStartedDuringBegin = bodyStarted;
  };

  TJvBaseThread* bodySender = nullptr;
  void* bodyParams = nullptr;
  ThreadId bodyThread{};
  TJvBaseThread* lastThreadInBody = nullptr;
  bool activeInBody = false;
  TJvThread* bodyComponent = nullptr;
  component.OnExecute = [&](TJvBaseThread* sender, void* p) {
    bodyStarted = true;
    seen.Note("body");
    bodySender = sender;
    bodyParams = p;
    bodyThread = CurrentThreadId();
    lastThreadInBody = component.LastThread();
    activeInBody = sender->ExecuteIsActive();
    bodyComponent = sender->Sender();
  };

  TJvBaseThread* finishSender = nullptr;
  int32_t countInFinish = -1;
  bool activeInFinish = true;
  bool finishedInFinish = true;
  component.OnFinish = [&](TJvBaseThread* sender) {
    seen.Note("finish");
    EXPECT_EQ(CurrentThreadId(), ui);
    finishSender = sender;
    countInFinish = component.Count();
    activeInFinish = sender->ExecuteIsActive();
    finishedInFinish = sender->Finished();
  };

  int32_t countInFinishAll = -1;
  component.OnFinishAll = [&](TJvThread* sender) {
    seen.Note("finish all");
    EXPECT_EQ(sender, &component);
    EXPECT_EQ(CurrentThreadId(), ui);
    countInFinishAll = component.Count();
  };

  TJvBaseThread* run = component.Execute(&params);
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(countInBegin, 1);
  EXPECT_FALSE(bodyStartedDuringBegin);
  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));

  EXPECT_EQ(seen.order, (std::vector<std::string>{"begin", "body", "finish", "finish all"}));
  EXPECT_EQ(bodySender, run);
  EXPECT_EQ(bodyComponent, &component);
  EXPECT_EQ(bodyParams, &params);
  EXPECT_NE(bodyThread, ui);
  EXPECT_EQ(lastThreadInBody, run);
  EXPECT_TRUE(activeInBody);
  EXPECT_EQ(finishSender, run);
  EXPECT_EQ(countInFinish, 1);
  EXPECT_FALSE(activeInFinish);
  EXPECT_FALSE(finishedInFinish);
  EXPECT_EQ(countInFinishAll, 0);
  EXPECT_FALSE(component.OneThreadIsRunning());
  EXPECT_EQ(component.LastThread(), nullptr);
}

TEST_F(TJvThreadTest, AStartIsRefusedWhileTheRunWorksAndUntilItsEndStepHasRun) {
  TJvThread component;
  Signal bodyEntered;
  Signal letBodyReturn;
  int begins = 0;
  component.OnBegin = [&](TJvThread*) { ++begins; };
  component.OnExecute = [&](TJvBaseThread*, void*) {
    bodyEntered.Set();
    EXPECT_TRUE(letBodyReturn.Wait());
  };

  ASSERT_NE(component.Execute(nullptr), nullptr);
  ASSERT_TRUE(bodyEntered.Wait());
  EXPECT_EQ(component.Execute(nullptr), nullptr) << "working";
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(component.Count(), 1);

  letBodyReturn.Set();
  // The end step is the run's only request: once it is queued, the body has returned.
  ASSERT_TRUE(wakes.WaitFor(1));
  EXPECT_TRUE(component.OneThreadIsRunning());
  EXPECT_EQ(component.Execute(nullptr), nullptr) << "ending";
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(component.Count(), 1);

  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
  EXPECT_NE(component.Execute(nullptr), nullptr) << "ended";
  EXPECT_EQ(begins, 2);
  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
}

// A finish handler that wants another run: inside OnFinish its own run still counts as
// running; by OnFinishAll it has ended.
TEST_F(TJvThreadTest, ANewRunCanStartFromOnFinishAllButNotFromOnFinish) {
  TJvThread component;
  std::atomic<int> bodies{0};
  TJvBaseThread* startedInFinish = reinterpret_cast<TJvBaseThread*>(1);
  TJvBaseThread* startedInFinishAll = nullptr;
  component.OnExecute = [&](TJvBaseThread*, void*) { ++bodies; };
  component.OnFinish = [&](TJvBaseThread*) {
    if (bodies == 1) {
      startedInFinish = component.Execute(nullptr);
    }
  };
  component.OnFinishAll = [&](TJvThread*) {
    if (bodies == 1) {
      startedInFinishAll = component.Execute(nullptr);
    }
  };
  ASSERT_NE(component.Execute(nullptr), nullptr);
  ASSERT_TRUE(ServeUntil([&] { return bodies == 2 && component.Count() == 0; }));
  EXPECT_EQ(startedInFinish, nullptr);
  EXPECT_NE(startedInFinishAll, nullptr);
}

TEST_F(TJvThreadTest, StartRulesOfExclusiveMaxCountAndTheBody) {
  struct Case {
    const char* name;
    bool exclusive;
    int32_t maxCount;
    int working;  // runs already listed, their bodies busy
    bool withBody;
    bool accepted;
  };
  const Case cases[] = {
      {"exclusive, nothing running", true, 0, 0, true, true},
      {"exclusive, one running", true, 0, 1, true, false},
      {"not exclusive, no limit", false, 0, 2, true, true},
      {"a negative limit is no limit", false, -1, 2, true, true},
      {"below the limit", false, 2, 1, true, true},
      {"at the limit", false, 2, 2, true, false},
      {"no body", true, 0, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJvThread component;
    Signal release;
    std::atomic<int> bodies{0};
    component.OnExecute = [&](TJvBaseThread*, void*) {
      ++bodies;
      EXPECT_TRUE(release.Wait());
    };
    component.Exclusive = false;
    for (int i = 0; i < c.working; ++i) {
      ASSERT_NE(component.Execute(nullptr), nullptr);
    }
    ASSERT_TRUE(ServeUntil([&] { return bodies == c.working; }));

    component.Exclusive = c.exclusive;
    component.MaxCount = c.maxCount;
    if (!c.withBody) {
      component.OnExecute = nullptr;
    }
    int begins = 0;
    component.OnBegin = [&](TJvThread*) { ++begins; };
    TJvBaseThread* run = component.Execute(nullptr);

    EXPECT_EQ(run != nullptr, c.accepted);
    EXPECT_EQ(begins, c.accepted ? 1 : 0);
    EXPECT_EQ(component.Count(), c.working + (c.accepted ? 1 : 0));
    release.Set();
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
  }
}

TEST_F(TJvThreadTest, TerminatedAnswersARunItsOwnFlagAndEveryOtherThreadForAllRuns) {
  TJvThread component;
  component.Exclusive = false;
  EXPECT_TRUE(component.Terminated()) << "no run listed";
  component.Terminate();  // with nothing listed there is nothing to ask

  // Run A asks once when it starts and again after Terminate.
  Signal aEntered;
  Signal aAskAgain;
  std::atomic<bool> aReturned{false};
  bool aSawAtStart = true;
  bool aSawAfterTerminate = false;
  component.OnExecute = [&](TJvBaseThread*, void*) {
    aSawAtStart = component.Terminated();
    aEntered.Set();
    EXPECT_TRUE(aAskAgain.Wait());
    aSawAfterTerminate = component.Terminated();
    aReturned = true;
  };
  ASSERT_NE(component.Execute(nullptr), nullptr);
  ASSERT_TRUE(aEntered.Wait());

  // Run B's set-up fails, so B's thread sets B's own flag before the body.
  Signal bEntered;
  Signal releaseB;
  bool bSaw = false;
  component.OnBegin = [](TJvThread*) { throw Exception(u"準備に失敗しました"); };
  component.OnExecute = [&](TJvBaseThread*, void*) {
    bSaw = component.Terminated();
    bEntered.Set();
    EXPECT_TRUE(releaseB.Wait());
  };
  TJvBaseThread* b = component.Execute(nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(bEntered.Wait());
  EXPECT_TRUE(b->InternalTerminate());

  EXPECT_FALSE(aSawAtStart);
  EXPECT_TRUE(bSaw);
  EXPECT_FALSE(component.Terminated()) << "A has not been asked to stop";

  component.Terminate();
  EXPECT_TRUE(component.Terminated());
  EXPECT_FALSE(aReturned.load()) << "Terminate does not wait";

  aAskAgain.Set();
  releaseB.Set();
  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
  EXPECT_TRUE(aSawAfterTerminate);

  // The stop request belonged to those runs, not to the component.
  component.OnBegin = nullptr;
  bool cSaw = true;
  component.OnExecute = [&](TJvBaseThread*, void*) { cSaw = component.Terminated(); };
  ASSERT_NE(component.Execute(nullptr), nullptr);
  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
  EXPECT_FALSE(cSaw);
}

TEST_F(TJvThreadTest, TerminateBeforeTheThreadFirstRunsSkipsTheBodyButNotTheFinish) {
  for (bool insideBegin : {false, true}) {
    SCOPED_TRACE(insideBegin ? "Terminate inside OnBegin" : "Terminate while not yet started");
    TJvThread component;
    std::atomic<int> bodies{0};
    int finishes = 0;
    component.OnExecute = [&](TJvBaseThread*, void*) { ++bodies; };
    component.OnFinish = [&](TJvBaseThread*) { ++finishes; };
    if (insideBegin) {
      component.OnBegin = [](TJvThread* sender) { sender->Terminate(); };
      ASSERT_NE(component.Execute(nullptr), nullptr);
    } else {
      component.RunOnCreate = false;
      TJvBaseThread* run = component.Execute(nullptr);
      ASSERT_NE(run, nullptr);
      EXPECT_TRUE(run->Suspended());
      EXPECT_EQ(component.Count(), 1);
      component.Terminate();
      EXPECT_FALSE(run->Suspended() && component.Count() == 1) << "Terminate lets it start";
    }
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
    EXPECT_EQ(bodies.load(), 0);
    EXPECT_EQ(finishes, 1);
  }
}

TEST_F(TJvThreadTest, AFailedSetUpStopsTheRunBeforeItsBodyAndEndsItNormally) {
  const std::function<void()> failures[] = {
      [] { throw Exception(u"準備に失敗しました"); },
      [] { throw 1; },
  };
  for (const auto& fail : failures) {
    TJvThread component;
    int finishes = 0;
    std::atomic<int> bodies{0};
    bool sawTerminated = false;
    component.OnBegin = [&](TJvThread*) { fail(); };
    component.OnExecute = [&](TJvBaseThread*, void*) {
      ++bodies;
      sawTerminated = component.Terminated();
    };
    component.OnFinish = [&](TJvBaseThread*) { ++finishes; };
    EXPECT_NE(component.Execute(nullptr), nullptr);
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
    EXPECT_EQ(bodies.load(), 1);
    EXPECT_TRUE(sawTerminated);
    EXPECT_EQ(finishes, 1);
  }
}

TEST_F(TJvThreadTest, AFailingFinishHandlerIsDroppedAndTheNextStartIsAccepted) {
  struct Case {
    const char* name;
    bool finishThrows;
    bool finishAllThrows;
  };
  const Case cases[] = {
      {"OnFinish throws an Exception", true, false},
      {"OnFinishAll throws", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJvThread component;
    std::atomic<int> bodies{0};
    int finishAlls = 0;
    component.OnExecute = [&](TJvBaseThread*, void*) { ++bodies; };
    component.OnFinish = [&](TJvBaseThread*) {
      if (c.finishThrows) {
        throw Exception(u"表示できません");
      }
    };
    component.OnFinishAll = [&](TJvThread*) {
      ++finishAlls;
      if (c.finishAllThrows) {
        throw 3;
      }
    };
    ASSERT_NE(component.Execute(nullptr), nullptr);
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
    EXPECT_FALSE(component.OneThreadIsRunning());
    EXPECT_EQ(finishAlls, 1);

    ASSERT_NE(component.Execute(nullptr), nullptr);
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
    EXPECT_EQ(bodies.load(), 2);
  }
}

TEST_F(TJvThreadTest, DestructionStopsTheBodyAndWaitsServingItsCallsAndItsFinish) {
  auto* component = new TJvThread;
  Signal bodyEntered;
  std::atomic<bool> bodyReturned{false};
  std::vector<std::string> log;  // on the user-interface thread only
  bool callRanOnUi = false;
  bool finishAfterBody = false;
  component->OnExecute = [&, component](TJvBaseThread*, void*) {
    bodyEntered.Set();
    // A long piece of work that looks at the stop flag between its steps.
    while (!component->Terminated()) {
      SleepMilliseconds(1);
    }
    component->Synchronize([&] {
      log.push_back("call");
      callRanOnUi = IsUserInterfaceThread();
    });
    bodyReturned = true;
  };
  component->OnFinish = [&](TJvBaseThread*) {
    log.push_back("finish");
    finishAfterBody = bodyReturned;
  };
  ASSERT_NE(component->Execute(nullptr), nullptr);
  ASSERT_TRUE(bodyEntered.Wait());

  delete component;

  EXPECT_EQ(log, (std::vector<std::string>{"call", "finish"}));
  EXPECT_TRUE(callRanOnUi);
  EXPECT_TRUE(finishAfterBody);
}

TEST_F(TJvThreadTest, SynchronizeRunsOnTheUserInterfaceThreadForRunsOnlyAndCarriesFailures) {
  TJvThread component;

  ThreadId ranOn{};
  component.Synchronize([&] { ranOn = CurrentThreadId(); });
  EXPECT_EQ(ranOn, ui) << "on the user-interface thread: at once";

  Signal bodyEntered;
  Signal goOn;
  int value = 0;
  int valueAfterCall = -1;
  ThreadId callThread{};
  std::u16string caughtMessage;
  int caughtValue = 0;
  component.OnExecute = [&](TJvBaseThread*, void*) {
    bodyEntered.Set();
    EXPECT_TRUE(goOn.Wait());
    component.Synchronize([&] {
      value = 1;
      callThread = CurrentThreadId();
    });
    valueAfterCall = value;
    try {
      component.Synchronize([] { throw TestError(u"一覧を更新できません"); });
    } catch (const TestError& e) {
      caughtMessage = e.Message();
    }
    try {
      component.Synchronize([] { throw 7; });
    } catch (int thrown) {
      caughtValue = thrown;
    }
  };
  ASSERT_NE(component.Execute(nullptr), nullptr);
  ASSERT_TRUE(bodyEntered.Wait());

  // A thread that is not one of the runs calls at once, on itself, while a run is listed.
  ThreadId otherRanOn{};
  ThreadId other{};
  std::thread([&] {
    other = CurrentThreadId();
    component.Synchronize([&] { otherRanOn = CurrentThreadId(); });
  }).join();
  EXPECT_EQ(otherRanOn, other);
  EXPECT_EQ(wakes.Count(), 0);

  goOn.Set();
  ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
  EXPECT_EQ(callThread, ui);
  EXPECT_EQ(valueAfterCall, 1);
  EXPECT_EQ(caughtMessage, u"一覧を更新できません");
  EXPECT_EQ(caughtValue, 7);
}

TEST_F(TJvThreadTest, AnExceptionFromTheBodyIsReportedOnTheUserInterfaceThreadBeforeTheEnd) {
  struct Case {
    const char* name;
    std::function<void()> body;
    bool reported;
    const char* typeName;
    bool reportThrows = false;
  };
  const Case cases[] = {
      {"Exception", [] { throw Exception(u"読み込めません"); }, true, "quillora::Exception"},
      {"kind of Exception", [] { throw TestError(u"読み込めません"); }, true, "TestError"},
      {"a report that fails", [] { throw Exception(u"読み込めません"); }, true,
       "quillora::Exception", true},
      {"standard exception", [] { throw std::runtime_error("bad"); }, false, ""},
      {"any other value", [] { throw 42; }, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TJvThread component;
    component.FreeOnTerminate = false;  // keeps the run, to look at it after its end
    std::vector<std::string> log;       // on the user-interface thread only
    std::u16string reportedMessage;
    std::string reportedType;
    bool endWaitedForReport = false;
    SetThreadExceptionReport([&](const Exception& e) {
      log.push_back("report");
      EXPECT_EQ(CurrentThreadId(), ui);
      reportedMessage = e.Message();
      reportedType = ToUtf8(ExceptionTypeName(e));
      const int before = wakes.Count();
      SleepMilliseconds(20);  // a run that did not wait would queue its end step meanwhile
      endWaitedForReport = wakes.Count() == before;
      if (c.reportThrows) {
        throw Exception(u"表示できません");
      }
    });
    component.OnExecute = [&](TJvBaseThread*, void*) { c.body(); };
    component.OnFinish = [&](TJvBaseThread*) { log.push_back("finish"); };
    TJvBaseThread* run = component.Execute(nullptr);
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(ServeUntil([&] { return run->Finished(); }));

    if (c.reported) {
      EXPECT_EQ(log, (std::vector<std::string>{"report", "finish"}));
      EXPECT_EQ(reportedMessage, u"読み込めません");
      EXPECT_NE(reportedType.find(c.typeName), std::string::npos) << reportedType;
      EXPECT_TRUE(endWaitedForReport);
      EXPECT_FALSE(run->FatalException());
    } else {
      EXPECT_EQ(log, (std::vector<std::string>{"finish"}));
      EXPECT_TRUE(run->FatalException()) << "the thread keeps what it could not report";
    }
  }
}

// Destroyed with the last copy of the body, which only the run holds once the component's
// own handler has been cleared.
struct ReleaseToken {
  ReleaseToken(Signal* signal, ThreadId* thread) : released(signal), releasedOn(thread) {}
  ReleaseToken(const ReleaseToken&) = delete;
  ReleaseToken& operator=(const ReleaseToken&) = delete;
  Signal* released;
  ThreadId* releasedOn;
  ~ReleaseToken() {
    *releasedOn = CurrentThreadId();
    released->Set();
  }
};

TEST_F(TJvThreadTest, AnEndedRunIsReleasedByItsOwnThread) {
  TJvThread component;
  Signal released;
  ThreadId releasedOn{};
  std::atomic<bool> finished{false};
  component.OnFinish = [&](TJvBaseThread*) { finished = true; };
  component.OnExecute = [token = std::make_shared<ReleaseToken>(&released, &releasedOn)](
                            TJvBaseThread*, void*) {};
  ASSERT_NE(component.Execute(nullptr), nullptr);
  component.OnExecute = nullptr;
  ASSERT_TRUE(ServeUntil([&] { return released.IsSet(); }));
  EXPECT_TRUE(finished.load());
  EXPECT_NE(releasedOn, ui);
  EXPECT_EQ(component.Count(), 0);
}

TEST_F(TJvThreadTest, WithoutFreeOnTerminateEndedRunsStayListedUntilTheComponentGoes) {
  Signal released[2];
  ThreadId releasedOn[2] = {};
  {
    TJvThread component;
    component.FreeOnTerminate = false;
    for (int i = 0; i < 2; ++i) {
      component.OnExecute = [token = std::make_shared<ReleaseToken>(&released[i], &releasedOn[i])](
                                TJvBaseThread*, void*) {};
      TJvBaseThread* run = component.Execute(nullptr);
      ASSERT_NE(run, nullptr) << "an ended run does not count as running";
      component.OnExecute = nullptr;
      ASSERT_TRUE(ServeUntil([&] { return run->Finished(); }));
      EXPECT_FALSE(component.OneThreadIsRunning());
      EXPECT_EQ(component.Count(), i + 1);
    }
    SleepMilliseconds(10);
    EXPECT_FALSE(released[0].IsSet());
  }
  EXPECT_TRUE(released[0].IsSet());
  EXPECT_TRUE(released[1].IsSet());
  EXPECT_EQ(releasedOn[0], ui);
  EXPECT_EQ(releasedOn[1], ui);
}

#if defined(__linux__)
TEST_F(TJvThreadTest, EachRunsThreadGetsTheComponentsPriority) {
  errno = 0;
  const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  ASSERT_EQ(errno, 0);
  struct Case {
    ThreadPriority priority;
    int nice;
  };
  const Case cases[] = {
      {ThreadPriority::Normal, base},
      {ThreadPriority::Lower, std::min(base + 5, 19)},
      {ThreadPriority::Idle, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nice);
    TJvThread component;
    component.Priority = c.priority;
    int seen = -100;
    component.OnExecute = [&](TJvBaseThread*, void*) {
      seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    };
    ASSERT_NE(component.Execute(nullptr), nullptr);
    ASSERT_TRUE(ServeUntil([&] { return component.Count() == 0; }));
    EXPECT_EQ(seen, c.nice);
  }
}
#endif

}  // namespace
}  // namespace quillora
