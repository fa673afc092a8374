#include "recorder/server/ReadyPictures.h"

#include "recorder/server/WallClock.h"

namespace recorder {

ReadyPictures::ReadyPictures(LiveCameras& cameras, const ServerOptions& options, PayloadEncoder& encoder)
    : cameras_(cameras), options_(options), encoder_(encoder) {}

ReadyPictures::~ReadyPictures() { stop(); }

void ReadyPictures::start() {
  if (thread_.joinable() || options_.readyCameras <= 0 || options_.loopPictures > 0 ||
      options_.readyPictureAge() <= Clock::duration::zero())
    return;
  held_.clear();
  for (std::int32_t id = 1; id <= options_.readyCameras; ++id) held_.push_back(cameras_.camera(id));
  stopping_ = false;
  thread_ = std::thread([this] { run(); });
}

void ReadyPictures::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  held_.clear();
}

void ReadyPictures::run() {
  // Each camera is looked at once per idle picture period, in turn, and renewed when its
  // picture is older than half of that: it is then about one period old. A viewer takes a
  // picture up to two periods old, so a renewal that comes late does not cost it an encode.
  const Clock::duration idlePeriod = options_.readyPictureAge() / 2;
  const Clock::duration step = idlePeriod / static_cast<int>(held_.size());
  RgbFrame frame;
  frame.resize(kPictureWidth, pictureHeight(options_.encoding.standard576));
  bool starting = true; // the first round renews every camera without waiting
  std::size_t next = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    const std::int32_t id = static_cast<std::int32_t>(next + 1);
    PictureContext context;
    context.wallClockMs = readWallClock().millisecondOfDay;
    context.interlaced = options_.encoding.fields == 2;
    context.cameraName = cameraName(options_.camera, id);
    std::string error; // a camera that cannot make a picture is tried again next round
    held_[next]->renew(Clock::now(), idlePeriod / 2, std::move(context), frame, encoder_, options_.encoding, error);
    next = (next + 1) % held_.size();
    starting = starting && next != 0;
    lock.lock();
    if (!starting) wake_.wait_for(lock, step, [this] { return stopping_; });
  }
}

} // namespace recorder
