#pragma once
// Waiting in a test for what another thread, a socket or a message queue makes true. The
// condition is checked again after every pass (a pass pumps the queue, or waits a moment for the
// other threads) until it holds or a generous bound passes: a slow or loaded machine makes the
// wait longer, never the test fail.
#include <chrono>
#include <thread>

namespace testsupport {

// The bound of a wait for something that should come: far above any machine's normal delay.
inline constexpr std::chrono::milliseconds kLongWait{30000};

// Runs `pass` until `done` holds (true) or `timeout` passed (false); `done` is checked first.
template <typename Done, typename Pass>
bool waitUntil(Done&& done, std::chrono::milliseconds timeout, Pass&& pass) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pass();
  }
  return true;
}

// Waits for other threads to make `done` true, leaving every message queue alone.
template <typename Done>
bool waitUntil(Done&& done, std::chrono::milliseconds timeout = kLongWait) {
  return waitUntil(done, timeout, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}

} // namespace testsupport
