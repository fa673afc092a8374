#include "recorder/server/Pacer.h"

namespace recorder {

Pacer::Pacer(double picturesPerSecond)
    : interval_(picturesPerSecond > 0 ? std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(1.0 / picturesPerSecond))
                                      : Clock::duration::zero()) {}

Pacer::Clock::duration Pacer::remaining(Clock::time_point now) const {
  return now >= next_ ? Clock::duration::zero() : next_ - now;
}

} // namespace recorder
