#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/Thread.h"
#include "platform/WakeEvent.h"
#include "platform/Worker.h"
#include "platform/Time.h"
#include "tests/support/WaitUntil.h"

namespace {

using platform::ThreadHandle;

struct Worker {
  std::atomic<bool> stopRequest{false};
  std::atomic<int> passes{0};
  int result = 0; // written by the worker before it returns, read after threadRelease
};

unsigned runUntilStopped(void* argument) {
  auto& worker = *static_cast<Worker*>(argument);
  while (!worker.stopRequest.load(std::memory_order_acquire)) {
    worker.passes.fetch_add(1, std::memory_order_relaxed);
    platform::sleepMs(1);
  }
  worker.result = 42;
  worker.stopRequest.store(false, std::memory_order_release); // the acknowledgement
  return 0;
}

TEST(Thread, RunsWithItsArgumentAndStopsByHandshake) {
  Worker worker;
  ThreadHandle thread = platform::threadStart(runUntilStopped, &worker);
  ASSERT_TRUE(thread.running());

  EXPECT_TRUE(testsupport::waitUntil([&] { return worker.passes.load() >= 3; }));

  worker.stopRequest.store(true, std::memory_order_release);
  EXPECT_TRUE(testsupport::waitUntil([&] { return !worker.stopRequest.load(std::memory_order_acquire); }));

  platform::threadRelease(thread);
  EXPECT_FALSE(thread.running());
  EXPECT_EQ(worker.result, 42); // the thread's writes are visible once it is released
}

TEST(Thread, ReleaseOfAnEmptyHandleAndStartWithoutEntryDoNothing) {
  ThreadHandle empty;
  platform::threadRelease(empty);
  EXPECT_FALSE(empty.running());
  ThreadHandle none = platform::threadStart(nullptr, nullptr);
  EXPECT_FALSE(none.running());
}

unsigned countOne(void* argument) {
  static_cast<std::atomic<int>*>(argument)->fetch_add(1);
  return 0;
}

TEST(Thread, ManyShortThreadsAllRunAndRelease) {
  std::atomic<int> count{0};
  ThreadHandle threads[16];
  for (ThreadHandle& thread : threads) {
    thread = platform::threadStart(countOne, &count);
    ASSERT_TRUE(thread.running());
  }
  for (ThreadHandle& thread : threads) platform::threadRelease(thread);
  EXPECT_EQ(count.load(), 16);
}

struct WakeableWorker {
  platform::Worker worker;
  platform::WakeEvent wake;
  std::atomic<int> runs{0};
  bool sawStop = false; // written by the thread before it returns, read after stop
};

unsigned waitForStop(void* argument) {
  auto& owner = *static_cast<WakeableWorker*>(argument);
  owner.runs.fetch_add(1);
  // Only the stop's wake-up ends this wait in time; without it the test would hang a minute.
  while (!owner.worker.stopRequested()) {
    owner.wake.wait(60000);
    owner.wake.reset();
  }
  owner.sawStop = true;
  return 0;
}

TEST(Worker, StopWakesTheThreadAndAStartAfterwardsRunsAgain) {
  WakeableWorker owner;
  int wakes = 0;
  owner.worker.stop([&] { ++wakes; }); // nothing runs: no wake-up
  EXPECT_EQ(wakes, 0);
  for (int run = 1; run <= 2; ++run) {
    ASSERT_TRUE(owner.worker.start(waitForStop, &owner));
    EXPECT_TRUE(owner.worker.start(waitForStop, &owner)); // no second thread
    owner.sawStop = false;
    owner.worker.stop([&] {
      ++wakes;
      owner.wake.signal();
    });
    EXPECT_FALSE(owner.worker.running());
    EXPECT_FALSE(owner.worker.stopRequested()); // cleared for the next start
    EXPECT_TRUE(owner.sawStop);
    EXPECT_EQ(owner.runs.load(), run);
  }
  EXPECT_EQ(wakes, 2);
}

TEST(WakeEvent, EndsAWaitAtOnceAndStaysUpUntilReset) {
  platform::WakeEvent event;
  EXPECT_FALSE(event.wait(0));
  std::thread signaller([&] { event.signal(); });
  // Woken by the signal, not by the end of the minute.
  EXPECT_TRUE(event.wait(60000));
  signaller.join();
  EXPECT_TRUE(event.signalled());
  EXPECT_TRUE(event.wait(0));
  event.reset();
  EXPECT_FALSE(event.signalled());
}

} // namespace
