#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ThreadTestSupport.h"
#include "platform/Exception.h"
#include "platform/Synchronize.h"

namespace quillora {
namespace {

using testing::ServeUntil;
using testing::Signal;
using testing::ThreadTest;

class SynchronizeTest : public ThreadTest {};

TEST_F(SynchronizeTest, OnTheUserInterfaceThreadRunsAtOnce) {
  ThreadId ranOn{};
  SynchronizeCall([&] { ranOn = CurrentThreadId(); });
  EXPECT_EQ(ranOn, CurrentThreadId());
  EXPECT_EQ(wakes.Count(), 0);
  EXPECT_FALSE(CheckSynchronize());
}

// Each requester queues only after the one before it has been queued, so the order of the
// requests is known; one serving then runs them all, in that order, and only then does any
// requester go on.
TEST_F(SynchronizeTest, ServesEveryPendingRequestInOrderAndWakesEachRequester) {
  constexpr int kRequesters = 3;
  std::vector<int> order;  // written on this thread only
  std::vector<ThreadId> ranOn;
  std::atomic<int> returned{0};
  std::vector<std::thread> requesters;
  for (int i = 0; i < kRequesters; ++i) {
    requesters.emplace_back([&, i] {
      SynchronizeCall([&, i] {
        order.push_back(i);
        ranOn.push_back(CurrentThreadId());
      });
      ++returned;
    });
    ASSERT_TRUE(wakes.WaitFor(i + 1));
  }
  SleepMilliseconds(20);
  EXPECT_EQ(returned.load(), 0) << "a requester went on before its call had run";

  EXPECT_TRUE(CheckSynchronize());
  for (std::thread& t : requesters) {
    t.join();
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  for (ThreadId id : ranOn) {
    EXPECT_EQ(id, CurrentThreadId());
  }
  EXPECT_EQ(returned.load(), kRequesters);
  EXPECT_FALSE(CheckSynchronize());
}

TEST_F(SynchronizeTest, OnlyTheUserInterfaceThreadServes) {
  bool ran = false;
  std::thread requester([&] { SynchronizeCall([&] { ran = true; }); });
  ASSERT_TRUE(wakes.WaitFor(1));
  bool servedElsewhere = true;
  std::thread([&] { servedElsewhere = CheckSynchronize(); }).join();
  EXPECT_FALSE(servedElsewhere);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(CheckSynchronize());
  requester.join();
  EXPECT_TRUE(ran);
}

// What a modal dialog opened by a served call does: its loop serves again. The service must
// not hold its lock while a call runs, and the nested serving must find the new request.
TEST_F(SynchronizeTest, AServedCallCanServeRequestsMadeMeanwhile) {
  std::vector<std::string> log;
  std::thread second;
  std::thread first([&] {
    SynchronizeCall([&] {
      log.push_back("outer begins");
      second = std::thread([&] { SynchronizeCall([&] { log.push_back("inner"); }); });
      EXPECT_TRUE(wakes.WaitFor(2));
      EXPECT_TRUE(CheckSynchronize());
      log.push_back("outer ends");
    });
  });
  ASSERT_TRUE(wakes.WaitFor(1));
  EXPECT_TRUE(CheckSynchronize());
  first.join();
  second.join();
  EXPECT_EQ(log, (std::vector<std::string>{"outer begins", "inner", "outer ends"}));
}

class TestError : public Exception {
 public:
  using Exception::Exception;
};

TEST_F(SynchronizeTest, WhatTheCallThrowsIsThrownAgainInTheRequester) {
  struct Case {
    const char* name;
    std::function<void()> method;
    std::string caught;
  };
  const Case cases[] = {
      {"kind of Exception", [] { throw TestError(u"保存できません"); }, "TestError 保存できません"},
      {"standard exception", [] { throw std::runtime_error("bad"); }, "runtime_error bad"},
      {"any other value", [] { throw 42; }, "int 42"},
      {"nothing", [] {}, "nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string caught;
    std::atomic<bool> finished{false};
    std::thread requester([&] {
      try {
        SynchronizeCall(c.method);
        caught = "nothing";
      } catch (const TestError& e) {
        caught = std::string("TestError ") + e.what();
      } catch (const std::runtime_error& e) {
        caught = std::string("runtime_error ") + e.what();
      } catch (int value) {
        caught = "int " + std::to_string(value);
      }
      finished = true;
    });
    EXPECT_TRUE(ServeUntil([&] { return finished.load(); }));
    requester.join();
    EXPECT_EQ(caught, c.caught);
  }
}

// Served in a tight loop, most calls are done while their requester still watches for them
// rather than sleeping: each must still see its own outcome, its exception included, and none
// may be touched after its requester has gone on.
TEST_F(SynchronizeTest, ACallServedAtOnceHandsBackItsOwnOutcome) {
  constexpr int kCalls = 2000;
  int ran = 0;  // written on this thread only
  std::vector<int> caught;
  std::atomic<bool> finished{false};
  std::thread requester([&] {
    for (int i = 0; i < kCalls; ++i) {
      try {
        SynchronizeCall([&, i] {
          ++ran;
          if (i % 3 == 0) {
            throw i;
          }
        });
      } catch (int value) {
        caught.push_back(value);
      }
    }
    finished = true;
  });
  const auto giveUp = std::chrono::steady_clock::now() + testing::kGiveUp;
  while (!finished && std::chrono::steady_clock::now() < giveUp) {
    CheckSynchronize();
  }
  const bool allServed = finished;
  EXPECT_TRUE(ServeUntil([&] { return finished.load(); }));
  requester.join();
  ASSERT_TRUE(allServed);
  EXPECT_EQ(ran, kCalls);
  std::vector<int> expected;
  for (int i = 0; i < kCalls; i += 3) {
    expected.push_back(i);
  }
  EXPECT_EQ(caught, expected);
}

// Without a wake hook the request waits for the next serving: nothing is lost.
TEST_F(SynchronizeTest, WithoutAWakeHookTheNextServingRunsTheRequest) {
  SetWakeUserInterfaceHook(nullptr);
  std::atomic<bool> ran{false};
  std::thread requester([&] { SynchronizeCall([&] { ran = true; }); });
  EXPECT_TRUE(ServeUntil([&] { return ran.load(); }));
  requester.join();
}

// The program's hook points at a window object; once the hook is replaced that object may go,
// so no call of the old hook may still be running.
TEST_F(SynchronizeTest, ReplacingTheHookWaitsForACallOfTheOldOneToEnd) {
  Signal hookEntered;
  Signal letHookReturn;
  std::atomic<bool> hookRunning{false};
  SetWakeUserInterfaceHook([&] {
    hookRunning = true;
    hookEntered.Set();
    EXPECT_TRUE(letHookReturn.Wait());
    hookRunning = false;
  });
  std::thread requester([] { SynchronizeCall([] {}); });
  ASSERT_TRUE(hookEntered.Wait());

  std::atomic<bool> replaced{false};
  bool hookRanAfterReplacement = false;
  std::thread replacer([&] {
    SetWakeUserInterfaceHook(nullptr);
    hookRanAfterReplacement = hookRunning;
    replaced = true;
  });
  SleepMilliseconds(20);
  EXPECT_FALSE(replaced.load());
  letHookReturn.Set();
  replacer.join();
  EXPECT_FALSE(hookRanAfterReplacement);
  EXPECT_TRUE(ServeUntil([&] { return CheckSynchronize(); }));
  requester.join();
}

}  // namespace
}  // namespace quillora
