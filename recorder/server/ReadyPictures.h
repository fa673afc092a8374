#pragma once
// Keeps the latest picture of the test pattern's cameras 1..N encoded while nobody watches
// them, as a recorder has the latest picture of every camera it records: a viewer that
// opens one of them is answered with that picture at once instead of waiting for an encode.
// One thread renews the cameras in turn, each about once per idle picture period (all of
// them right after start), so a simulator nobody watches costs N encodes per idle period.
// A watched camera's viewers keep it current themselves, so the thread finds its picture
// young and leaves it. Looping cameras (benchmarks of viewers) are not kept ready: their
// loops are made when first asked, as before.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "recorder/server/LiveCameras.h"
#include "recorder/server/ServerOptions.h"

namespace recorder {

class ReadyPictures {
public:
  ReadyPictures(LiveCameras& cameras, const ServerOptions& options, PayloadEncoder& encoder);
  ~ReadyPictures();
  ReadyPictures(const ReadyPictures&) = delete;
  ReadyPictures& operator=(const ReadyPictures&) = delete;

  // Takes hold of the cameras and starts the thread; nothing when options.readyCameras is 0
  // or the cameras loop.
  void start();
  // Stops the thread (after the encode it is in, if any). Idempotent.
  void stop();

private:
  using Clock = LiveCameras::Clock;
  void run();

  LiveCameras& cameras_;
  const ServerOptions& options_;
  PayloadEncoder& encoder_;
  std::vector<std::shared_ptr<LiveCameras::Camera>> held_; // cameras 1..N, kept while the server runs
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false; // under mutex_
  std::thread thread_;
};

} // namespace recorder
