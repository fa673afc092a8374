#pragma once
// What a browser asks the gateway for over HTTP, read from the request target: the camera
// page (/?recorder=NAME&id=N[&id=M ...][&size=WxH][&token=T]), the wall of every configured
// camera (/[?page=P][&token=T]), the page's files, or a camera's WebSocket (/camera/NAME/ID).
// Targets come from outside: parsing is bounded and every value is checked; pages are written
// with escaped values only.
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/GatewayOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gateway {

constexpr std::size_t kMaxTargetLength = 2048;
constexpr int kMaxViewersPerPage = 16;
constexpr int kMinViewerSide = 16, kMaxViewerSide = 4096;

struct Target {
  std::string path;                                       // percent-decoded
  std::vector<std::pair<std::string, std::string>> query; // percent-decoded, in order
};

// A whole decimal number of low..high, the whole text and nothing else.
bool parseInt(std::string_view text, std::int64_t low, std::int64_t high, std::int64_t& value);

// Where a camera's URLs begin: its WebSocket, snapshot and MJPEG stream.
constexpr std::string_view kCameraPathPrefix = "/camera/";

// A camera's WebSocket path: /camera/NAME, or /camera/NAME/ID that names the camera too, so
// that a balancer in front of several gateways can route each camera by its URL alone.
struct CameraSocketPath {
  std::string recorder;
  std::optional<std::int32_t> connectionId;
};
// False for anything but /camera/ followed by a recorder name and an optional /ID, a whole
// number.
bool parseCameraSocketPath(std::string_view path, CameraSocketPath& out);

// Splits and decodes a request target. False for anything that is not an absolute path with
// an optional query, is longer than kMaxTargetLength or has a bad %-escape.
bool parseTarget(std::string_view target, Target& out);

struct PageQuery {
  std::string recorder;
  std::vector<std::int32_t> ids;
  int width = 720, height = 576;
  std::string token; // the signed link's token, when the page carries one
};

// The camera page's parameters. False with a reason for the browser when they are missing,
// malformed, or name a recorder the gateway does not relay (`unknownRecorder` is then set).
bool parsePageQuery(const Target& target, const GatewayOptions& options, PageQuery& page, std::string& error,
                    bool& unknownRecorder);

// The HTML of the camera page.
std::string renderCameraPage(const PageQuery& page);

// The wall: every camera the gateway is configured with (or that a signed link allows), as
// tiles of kMaxViewersPerPage to a page.
struct WallCamera {
  std::string recorder;
  std::int32_t id = 0;
};
struct WallQuery {
  std::int64_t page = 1; // from 1
  std::string token;     // carried into the page's links when the gateway checks them
};
constexpr std::int64_t kMaxWallPage = 1000000;

// True when a request for "/" asks for one camera page rather than the wall.
bool isCameraPageQuery(const Target& target);
// The wall's parameters. False with a reason for the browser.
bool parseWallQuery(const Target& target, WallQuery& wall, std::string& error);
// The configured cameras in command-line order; with a grant, only the ones it allows.
std::vector<WallCamera> wallCameras(const GatewayOptions& options, const AccessGrant* grant);
std::int64_t wallPageCount(std::size_t cameras);
// The HTML of one page of the wall (wall.page of 1..wallPageCount).
std::string renderWallPage(const std::vector<WallCamera>& cameras, const WallQuery& wall);

// The files the page loads, by name; null content type for any other name.
const char* staticFileType(std::string_view name);
const std::vector<const char*>& staticFileNames();

// Text safe inside HTML text and double-quoted attributes.
std::string escapeHtml(std::string_view text);

} // namespace gateway
