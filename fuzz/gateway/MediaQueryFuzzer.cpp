// Request targets of snapshot and MJPEG clients: the target's parsing and the media
// parameters read from it. Whatever comes in, what is accepted is within its bounds.
#include "hosts/gateway/media/MediaQuery.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  gateway::Target target;
  if (!gateway::parseTarget(text, target) || !gateway::media::isMediaPath(target.path)) return 0;
  gateway::media::MediaRequest request;
  std::string error;
  if (!gateway::media::parseMediaRequest(target, request, error)) {
    if (error.empty()) std::abort(); // a refusal always says why
    return 0;
  }
  using namespace gateway::media;
  const RenderSpec& spec = request.spec;
  if (!gateway::validRecorderName(request.recorder) ||
      (spec.width != 0 && (spec.width < kMinWidth || spec.width > kMaxWidth)) || spec.quality < 1 ||
      spec.quality > 100 || request.fps < 0 || request.fps > kMaxFps)
    std::abort();
  return 0;
}
