#pragma once
// The live cameras behind the test pattern: one per connection id, shared by every viewer
// of that id, as a recorder's cameras are. A camera makes at most one picture per picture
// period (1 / the rate limit); viewers asking within the same period get the same encoded
// picture, so four viewers of one camera cost one encoder.
//
// A camera may also be kept ready while nobody watches it (ReadyPictures does that): its
// latest picture is then renewed now and then, as a recorder records its cameras, and a
// viewer that opens it takes that picture as its first one instead of waiting for an encode.
//
// With a loop length, a camera encodes that many consecutive pictures when it is first
// asked and then serves them over and over: a recorder that costs no encoding while it
// serves, so that a benchmark in another process measures the viewers alone.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recorder/server/PayloadEncoder.h"
#include "recorder/sources/TestPattern.h"

namespace recorder {

class LiveCameras {
public:
  using Clock = std::chrono::steady_clock;
  using Payload = std::shared_ptr<const std::vector<std::uint8_t>>;

  // `period` zero: no sharing, every call makes a new picture (or, looping, serves the
  // next one). `loopLength` 0: live pictures; else the length of each camera's loop.
  LiveCameras(Clock::duration period, Clock::time_point start, int loopLength = 0)
      : period_(period), start_(start), loopLength_(loopLength > 0 ? loopLength : 0) {}

  class Camera;
  // The camera of `connectionId`; it lives while a viewer holds it.
  std::shared_ptr<Camera> camera(std::int32_t connectionId);

  class Camera {
  public:
    Camera(std::int32_t connectionId, LiveCameras& owner) : connectionId_(connectionId), owner_(owner) {}
    // The picture for `now`: the one of the current period if made already, else a new one
    // rendered into `frame` (the caller's buffer, 720 x the standard's height) and encoded.
    // `context` carries the wall clock and the camera name; the camera fills in its own
    // picture count and running time. Null with `error` set on failure. `acceptAge` above
    // zero (a viewer's first picture): the latest picture is taken if it is no older.
    Payload picture(Clock::time_point now, PictureContext context, RgbFrame& frame, PayloadEncoder& encoder,
                    const EncodeSettings& settings, std::string& error,
                    Clock::duration acceptAge = Clock::duration::zero());
    // Makes a new picture unless the latest one is at most `maxAge` old (a looping camera
    // makes none). Returns whether it encoded; false with `error` set on failure.
    bool renew(Clock::time_point now, Clock::duration maxAge, PictureContext context, RgbFrame& frame,
               PayloadEncoder& encoder, const EncodeSettings& settings, std::string& error);
    // Pictures encoded so far (a looping camera: its loop, once).
    std::uint64_t picturesMade() const;

  private:
    // The loop's picture for `period` (every call the next one when there is no period);
    // the loop is encoded on the first call.
    Payload loopPicture(std::int64_t period, PictureContext context, RgbFrame& frame, PayloadEncoder& encoder,
                        const EncodeSettings& settings, std::string& error);
    Payload render(std::uint64_t number, std::uint32_t elapsedMs, PictureContext context, RgbFrame& frame,
                   PayloadEncoder& encoder, const EncodeSettings& settings, std::string& error);
    // Under mutex_: renders and encodes the picture for `now` and makes it the latest.
    Payload makeLatest(Clock::time_point now, std::int64_t period, PictureContext context, RgbFrame& frame,
                       PayloadEncoder& encoder, const EncodeSettings& settings, std::string& error);
    std::int64_t periodOf(Clock::time_point now) const;

    const std::int32_t connectionId_;
    LiveCameras& owner_;
    mutable std::mutex mutex_;
    TestPattern pattern_;
    std::int64_t period_ = -1; // index of the period the payload belongs to
    Payload payload_;
    Clock::time_point madeAt_{}; // when payload_ was made
    std::uint64_t made_ = 0;
    std::vector<Payload> loop_;
    std::uint64_t served_ = 0; // loop pictures served without a period
  };

private:
  bool looping() const { return loopLength_ > 0; }

  const Clock::duration period_;
  const Clock::time_point start_;
  const int loopLength_;
  std::mutex mutex_;
  std::map<std::int32_t, std::weak_ptr<Camera>> cameras_;
};

// The camera's name in its pictures: `pattern` (the --camera option) with %d replaced by the
// connection id.
std::string cameraName(const std::string& pattern, std::int32_t connectionId);

} // namespace recorder
