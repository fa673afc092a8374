#pragma once
// One camera's JPEG work, shared by every snapshot and MJPEG client of that camera: it
// watches the camera's pictures like a browser does (a CameraHub subscriber) only while it
// has clients, and for each new picture makes one JPEG per RenderSpec its clients wait for,
// on the media worker pool. At most one picture of the camera is being worked on; pictures
// that arrive meanwhile replace each other, so a camera costs at most one job and one
// waiting picture however slow the workers are. The JPEGs of the last finished picture are
// kept, so a client that arrives late (or asks the same size and quality as another) costs
// no further encode.
//
// I/O thread, apart from the job's run on a worker (which touches only the renderer and the
// language table, the latter through its own thread contract).
#include "engine/LanguageTable.h"
#include "hosts/gateway/CameraHub.h"
#include "hosts/gateway/GatewayCounters.h"
#include "hosts/gateway/media/MediaWatcher.h"
#include "hosts/gateway/media/PictureRenderer.h"
#include "hosts/gateway/media/WorkerPool.h"

#include <boost/asio/io_context.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gateway::media {

class CameraMedia final : public Subscriber, public std::enable_shared_from_this<CameraMedia> {
public:
  // `ended` is called (I/O thread) when the camera's recorder connection broke: the camera
  // has told its clients and is to leave the hub and be forgotten.
  CameraMedia(boost::asio::io_context& io, WorkerPool& pool, GatewayCounters& counters,
              std::function<void(const CameraMedia*)> ended);
  ~CameraMedia() override;

  void add(const std::shared_ptr<MediaWatcher>& watcher);
  void remove(const MediaWatcher* watcher);
  bool idle() const { return watchers_.empty(); }
  // Why the last picture gave no JPEG ("" when it did): a snapshot that times out says so.
  const std::string& lastFailure() const { return failure_; }

  void sendControl(const SharedBytes& message) override;
  void offerPicture(const SharedBytes& message, std::uint64_t sequence) override;
  void upstreamLost() override;
  // Tells every client the camera is gone and drops them.
  void loseAll(const std::string& reason);

private:
  struct Job {
    SharedBytes picture;
    std::uint64_t sequence = 0;
    std::vector<RenderSpec> specs;
    std::vector<JpegBytes> jpegs;
    bool ok = false;
    std::string failure;
  };
  void serve();
  void deliverCached(Clock::time_point now);
  void work(const std::shared_ptr<Job>& job); // worker thread
  void finished(const std::shared_ptr<Job>& job);

  boost::asio::io_context& io_;
  WorkerPool& pool_;
  GatewayCounters& counters_;
  std::function<void(const CameraMedia*)> ended_;
  std::vector<std::weak_ptr<MediaWatcher>> watchers_;
  SharedBytes picture_; // the newest picture
  std::uint64_t sequence_ = 0;
  bool working_ = false;
  std::uint64_t cachedSequence_ = 0;
  std::map<RenderSpec, JpegBytes> cache_; // null: that spec failed for this picture
  std::string failure_;
  // Labels in the system language, as the viewers draw them, until the recorder sends a table.
  CLanguageTable language_;
  PictureRenderer renderer_{language_}; // the job's only
};

} // namespace gateway::media
