#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Time.h"

namespace {

using platform::sleepMs;
using platform::tickCount;

TEST(Tick, AdvancesWithoutGoingBack) {
  std::uint32_t previous = tickCount();
  for (int i = 0; i < 2000; ++i) {
    std::uint32_t now = tickCount();
    // Read as an unsigned difference the tick never goes back, across a wrap as well: a step
    // back would read as a difference above 2^31 (a slow machine only makes steps longer).
    EXPECT_LT(static_cast<std::uint32_t>(now - previous), 0x80000000u) << "at call " << i;
    previous = now;
  }
}

TEST(Tick, SleepPausesRoughlyAsAsked) {
  std::uint32_t start = tickCount();
  sleepMs(100);
  std::uint32_t elapsed = tickCount() - start;
  // A pause is never shorter than asked (less one coarse Windows tick); how much longer a
  // loaded machine makes it is not this test's business, beyond a generous minute.
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 60000u);

  start = tickCount();
  sleepMs(0);
  EXPECT_LT(static_cast<std::uint32_t>(tickCount() - start), 60000u);
}

// Runs when the process was started with CAMVIEW_TICK_START (the test_platform_tick_wrap
// entry sets it one second before the wrap).
TEST(Tick, StartsAtTheConfiguredValueAndWraps) {
  const char* startText = std::getenv("CAMVIEW_TICK_START");
  if (startText == nullptr) GTEST_SKIP() << "CAMVIEW_TICK_START not set";
  auto configured = static_cast<std::uint32_t>(std::strtoull(startText, nullptr, 10));
  std::uint32_t first = tickCount();
  // The offset is fixed at the process's first tick, which may have been a while ago.
  ASSERT_LT(static_cast<std::uint32_t>(first - configured), 60000u) << "first tick " << first;

  // Wait for the wrap (due a second after the process started), bounded generously.
  std::uint32_t now = first;
  for (int i = 0; i < 1200 && now >= first; ++i) {
    sleepMs(50);
    now = tickCount();
  }
  EXPECT_LT(now, first) << "the tick did not wrap";
  EXPECT_GT(static_cast<std::uint32_t>(now - first), 0u);
}

} // namespace
