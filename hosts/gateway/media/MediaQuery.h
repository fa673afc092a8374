#pragma once
// What a still-image or MJPEG client asks for, read from the request target:
//   /camera/NAME/ID.jpg    one JPEG of the camera's newest picture
//   /camera/NAME/ID.mjpg   an MJPEG stream (multipart/x-mixed-replace)
// with the optional query `width` (pixels; the picture is never enlarged), `quality` (1 to
// 100, default 80), `fps` (at most this many pictures a second; 0 or absent: the recorder's
// rate) and `overlay` (1: the on-screen display is drawn into the picture). Other query names
// (a token, a cache-busting counter) are left to others and ignored here. Every value is
// checked; a name given twice is an error.
#include "hosts/gateway/PageRequest.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gateway::media {

constexpr int kMinWidth = 16, kMaxWidth = 4096;
constexpr int kDefaultQuality = 80;
constexpr int kMaxFps = 100;

// How one client wants its pictures drawn and encoded; clients asking the same share the
// work.
struct RenderSpec {
  int width = 0; // 0: the picture's own width
  int quality = kDefaultQuality;
  bool overlay = false;
  auto operator<=>(const RenderSpec&) const = default;
};

struct MediaRequest {
  enum class Kind { Snapshot, Stream };
  Kind kind = Kind::Snapshot;
  std::string recorder;
  std::int32_t connectionId = 0;
  RenderSpec spec;
  int fps = 0; // 0: no cap
};

// True when the path names a camera's JPEG or MJPEG (/camera/ + something + .jpg or .mjpg);
// such requests are answered by the media responder, also when malformed.
bool isMediaPath(std::string_view path);

// Reads a target whose path isMediaPath. False with a reason for the client.
bool parseMediaRequest(const Target& target, MediaRequest& request, std::string& error);

} // namespace gateway::media
