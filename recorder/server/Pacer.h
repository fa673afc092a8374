#pragma once
// Keeps the picture rate at or below the rate asked for: a picture may go out no earlier
// than one interval after the previous one started to go out. A late picture does not
// entitle the next one to come early, so there are never bursts above the rate.
#include <chrono>

namespace recorder {

class Pacer {
public:
  using Clock = std::chrono::steady_clock;

  // `picturesPerSecond` <= 0 means no limit.
  explicit Pacer(double picturesPerSecond);

  bool due(Clock::time_point now) const { return now >= next_; }
  // Time left until the next picture is due (zero when due).
  Clock::duration remaining(Clock::time_point now) const;
  // Records that a picture started to go out at `now`.
  void sent(Clock::time_point now) { next_ = now + interval_; }
  Clock::duration interval() const { return interval_; }

private:
  Clock::duration interval_;
  Clock::time_point next_{};
};

} // namespace recorder
