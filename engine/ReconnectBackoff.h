#pragma once
// The pause before the Receiver thread connects again after a failure: 500 ms for the first
// retry, then twice as long each time the failures repeat, up to 5 s; back to 500 ms once a
// picture has arrived. A recorder that ends every session at once, or is down, then costs a
// connection and a status message every few seconds instead of fifty a second.
#include <cstdint>

class ReconnectBackoff {
public:
  static constexpr std::uint32_t kFirstPauseMs = 500;
  static constexpr std::uint32_t kLongestPauseMs = 5000;

  // The pause before the next attempt; the one after it will be twice as long.
  std::uint32_t nextPause() {
    const std::uint32_t pause = pause_;
    pause_ = pause_ >= kLongestPauseMs / 2 ? kLongestPauseMs : pause_ * 2;
    return pause;
  }
  void reset() { pause_ = kFirstPauseMs; }

private:
  std::uint32_t pause_ = kFirstPauseMs;
};
