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
    // Read as an unsigned difference the tick never goes back, across a wrap as well.
    EXPECT_LT(static_cast<std::uint32_t>(now - previous), 1000u) << "at call " << i;
    previous = now;
  }
}

TEST(Tick, SleepPausesRoughlyAsAsked) {
  std::uint32_t start = tickCount();
  sleepMs(100);
  std::uint32_t elapsed = tickCount() - start;
  // Generous bounds: the machine is shared and Windows ticks are coarse.
  EXPECT_GE(elapsed, 80u);
  EXPECT_LT(elapsed, 5000u);

  start = tickCount();
  sleepMs(0);
  EXPECT_LT(static_cast<std::uint32_t>(tickCount() - start), 5000u);
}

// Runs when the process was started with CAMVIEW_TICK_START (the test_platform_tick_wrap
// entry sets it one second before the wrap).
TEST(Tick, StartsAtTheConfiguredValueAndWraps) {
  const char* startText = std::getenv("CAMVIEW_TICK_START");
  if (startText == nullptr) GTEST_SKIP() << "CAMVIEW_TICK_START not set";
  auto configured = static_cast<std::uint32_t>(std::strtoull(startText, nullptr, 10));
  std::uint32_t first = tickCount();
  ASSERT_LT(static_cast<std::uint32_t>(first - configured), 2000u) << "first tick " << first;

  std::uint32_t now = first;
  for (int i = 0; i < 200 && now >= first; ++i) {
    sleepMs(50);
    now = tickCount();
  }
  EXPECT_LT(now, first) << "the tick did not wrap";
  std::uint32_t elapsed = now - first;
  EXPECT_GT(elapsed, 0u);
  EXPECT_LT(elapsed, 20000u);
}

} // namespace
