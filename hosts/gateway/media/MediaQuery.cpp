#include "hosts/gateway/media/MediaQuery.h"

namespace gateway::media {

namespace {

constexpr std::string_view kSnapshotSuffix = ".jpg";
constexpr std::string_view kStreamSuffix = ".mjpg";

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

bool isMediaPath(std::string_view path) {
  return path.rfind(kCameraPathPrefix, 0) == 0 && (endsWith(path, kSnapshotSuffix) || endsWith(path, kStreamSuffix));
}

bool parseMediaRequest(const Target& target, MediaRequest& request, std::string& error) {
  request = MediaRequest{};
  std::string_view path = target.path;
  if (!isMediaPath(path)) {
    error = "cameras are served at /camera/NAME/ID.jpg and /camera/NAME/ID.mjpg";
    return false;
  }
  const bool stream = endsWith(path, kStreamSuffix);
  request.kind = stream ? MediaRequest::Kind::Stream : MediaRequest::Kind::Snapshot;
  path.remove_prefix(kCameraPathPrefix.size());
  path.remove_suffix((stream ? kStreamSuffix : kSnapshotSuffix).size());
  const std::size_t slash = path.find('/');
  if (slash == std::string_view::npos) {
    error = "name the camera as /camera/NAME/ID";
    return false;
  }
  request.recorder = std::string(path.substr(0, slash));
  if (!validRecorderName(request.recorder)) {
    error = "a recorder name is 1 to 32 letters, digits, '-' or '_'";
    return false;
  }
  std::int64_t id = 0;
  if (!parseInt(path.substr(slash + 1), INT32_MIN, INT32_MAX, id)) {
    error = "the camera id is a whole number";
    return false;
  }
  request.connectionId = std::int32_t(id);

  bool seenWidth = false, seenQuality = false, seenFps = false, seenOverlay = false;
  for (const auto& [name, value] : target.query) {
    std::int64_t number = 0;
    bool* seen = nullptr;
    if (name == "width") {
      seen = &seenWidth;
      if (!parseInt(value, kMinWidth, kMaxWidth, number)) {
        error = "width: " + std::to_string(kMinWidth) + " to " + std::to_string(kMaxWidth) + " pixels";
        return false;
      }
      request.spec.width = int(number);
    } else if (name == "quality") {
      seen = &seenQuality;
      if (!parseInt(value, 1, 100, number)) {
        error = "quality: 1 to 100";
        return false;
      }
      request.spec.quality = int(number);
    } else if (name == "fps") {
      seen = &seenFps;
      if (!parseInt(value, 0, kMaxFps, number)) {
        error = "fps: 0 (the recorder's rate) to " + std::to_string(kMaxFps);
        return false;
      }
      request.fps = int(number);
    } else if (name == "overlay") {
      seen = &seenOverlay;
      if (!parseInt(value, 0, 1, number)) {
        error = "overlay: 0 or 1";
        return false;
      }
      request.spec.overlay = number == 1;
    } else {
      continue;
    }
    if (*seen) {
      error = name + ": given twice";
      return false;
    }
    *seen = true;
  }
  return true;
}

} // namespace gateway::media
