#pragma once
// Notices a recorder that has stopped answering. From a request until its answer (a
// picture, or an error code that says why none comes) the watchdog is armed; while armed,
// no byte for kSilenceLimitMs counts as a lost connection. A corrupt length, half a message
// or a stalled recorder would otherwise leave the viewer waiting for good, showing neither
// a picture nor a status. A recorder that has answered with an error ("last picture
// reached") and then waits is left alone: its text stays on the screen.
//
// 10 s: the recorder answers a request within a picture interval (40 ms at 25 pictures/s);
// TCP recovers a lost segment within about 3 s (the first retransmission time-out on
// Windows), twice over within 9 s; a picture of several megabytes on a slow link still
// keeps bytes coming. Only a recorder that sends nothing for longer than all of that is
// given up, soon enough that the user sees the viewer recover by itself.
#include <cstdint>

class ReceiveWatchdog {
public:
  static constexpr std::uint32_t kSilenceLimitMs = 10000;

  // Ticks are GetTickCount-style milliseconds; differences are taken unsigned (wrap-safe).
  void requestSent(std::uint32_t now) {
    armed_ = true;
    lastProgress_ = now;
  }
  void bytesArrived(std::uint32_t now) { lastProgress_ = now; }
  void answered() { armed_ = false; }
  void disarm() { armed_ = false; }
  bool armed() const { return armed_; }
  bool expired(std::uint32_t now) const { return armed_ && now - lastProgress_ >= kSilenceLimitMs; }
  // While armed: milliseconds until expired(now) turns true without progress (0: it has).
  std::uint32_t remainingMs(std::uint32_t now) const {
    const std::uint32_t silent = now - lastProgress_;
    return silent >= kSilenceLimitMs ? 0 : kSilenceLimitMs - silent;
  }

private:
  bool armed_ = false;
  std::uint32_t lastProgress_ = 0;
};
