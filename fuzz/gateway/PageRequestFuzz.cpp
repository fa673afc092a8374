// Request targets as a browser (or anyone) sends them: parsing, a camera's WebSocket path, the
// camera page's or the wall's parameters and the page written from them. Every value that
// reaches the page is checked or escaped.
#include "hosts/gateway/PageRequest.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  gateway::GatewayOptions options;
  options.recorders = {{"gate", "127.0.0.1", 7070, {1, 2, 3}}, {"yard-2", "127.0.0.1", 7071}};
  gateway::Target target;
  if (!gateway::parseTarget(text, target)) return 0;
  // A camera's WebSocket path: a recorder name, and an id only where the path has one more part.
  gateway::CameraSocketPath camera;
  if (gateway::parseCameraSocketPath(target.path, camera) &&
      (!gateway::validRecorderName(camera.recorder) ||
       camera.connectionId.has_value() != (target.path.find('/', 8) != std::string::npos)))
    std::abort();
  std::string error;
  if (!gateway::isCameraPageQuery(target)) {
    gateway::WallQuery wall;
    if (!gateway::parseWallQuery(target, wall, error)) return 0;
    if (wall.page < 1) std::abort();
    const std::string html = gateway::renderWallPage(gateway::wallCameras(options, nullptr), wall);
    // The token reaches the wall's links %-escaped only.
    const bool markupInToken = wall.token.find_first_of("\"<>&") != std::string::npos;
    if (html.find("<script", html.find("</head>")) != std::string::npos ||
        (markupInToken && html.find("token=" + wall.token) != std::string::npos))
      std::abort();
    return 0;
  }
  gateway::PageQuery page;
  bool unknown = false;
  if (!gateway::parsePageQuery(target, options, page, error, unknown)) return 0;
  if (!gateway::findRecorder(options, page.recorder) || page.ids.empty() ||
      page.ids.size() > std::size_t(gateway::kMaxViewersPerPage))
    std::abort();
  const std::string html = gateway::renderCameraPage(page);
  // Only the page's own markup: no value can open a tag or end an attribute.
  if (html.find("<script", html.find("</head>")) != std::string::npos) std::abort();
  return 0;
}
