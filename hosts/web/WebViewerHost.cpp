#include "hosts/web/WebViewerHost.h"

#include "platform/Thread.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <new>

namespace web {

namespace {
// The element's size bounds the canvas; the viewer itself renders at most 768 x 576 and
// stretches beyond.
constexpr int kMaxSide = 4096;
int clampSide(int side) { return std::clamp(side, 1, kMaxSide); }
// A recorder's name (at most 32 characters), '/' and a connection id, within the viewer's
// host text.
constexpr std::size_t kCameraPathCapacity = 64;

// The module's memory grows while worker threads run; the page's script reads it through
// the current buffer, never through a view made before a growth.
EM_JS(void, installMemoryAccess, (), {
  Module['camviewBuffer'] = function() { return wasmMemory.buffer; };
});

unsigned destroyViewerAside(void* viewer) {
  embed::destroyViewer(static_cast<CViewer*>(viewer));
  return 0;
}

} // namespace

WebViewerHost* WebViewerHost::create(const char* recorder, int connectionId, int width, int height,
                                     presentation::DecodeMode decode) {
  installMemoryAccess();
  auto* host = new (std::nothrow) WebViewerHost;
  if (!host) return nullptr;
  host->resize(width, height);
  embed::ViewerSettings settings;
  // The viewer's host text is the camera's path under the gateway's /camera/: NAME/ID. The
  // page's sockets open it as the WebSocket's URL, so that a balancer in front of several
  // gateways can route each camera by its URL. (A name too long to be a recorder's is passed
  // on alone; the gateway refuses it.)
  char camera[kCameraPathCapacity];
  const int length = std::snprintf(camera, sizeof camera, "%s/%d", recorder, int(connectionId));
  settings.host = length > 0 && std::size_t(length) < sizeof camera ? camera : recorder;
  settings.port = 0; // the gateway names the recorder; the port is not used in a page
  settings.connectionId = connectionId;
  settings.decode = decode;
  host->viewer_ = embed::createViewer(settings);
  if (!host->viewer_) {
    delete host;
    return nullptr;
  }
  embed::attachWindow(host->viewer_, host->window_.handle());
  embed::startViewer(host->viewer_);
  platform::invalidate(host->window_.handle(), false); // the first paint shows the status screen
  return host;
}

WebViewerHost::~WebViewerHost() {
  if (!viewer_) return;
  // No thread of the viewer posts into window_ once this returns.
  embed::detachWindow(viewer_);
  // Destroying a viewer waits for its Receiver and Decoder threads. The Web Worker of a
  // thread made moments ago may not run yet, and it is the page's main thread that starts
  // it: were the main thread to wait for that thread here, it would wait for ever. So the
  // viewer is stopped and freed on a thread of its own, and the page goes on at once.
  if (!platform::threadStartDetached(&destroyViewerAside, viewer_)) embed::destroyViewer(viewer_);
}

void WebViewerHost::resize(int width, int height) {
  width = clampSide(width);
  height = clampSide(height);
  if (width == canvas_.width() && height == canvas_.height()) return;
  canvas_.resize(width, height);
  rgba_.assign(std::size_t(width) * height * 4, 255);
  platform::invalidate(window_.handle(), false);
}

int WebViewerHost::pump() {
  int result = 0;
  const ViewerHostWindow host{window_.handle(), canvas_.width(), canvas_.height(), false};
  window_.pump([&](const platform::WindowMessage& message) {
    // A kMsgFrameDecoded shows the picture the Decoder thread had, which is the viewer's current picture
    // only until the message is handled: handling it may take the next waiting picture in.
    // So the current picture is copied first and kept if it went on screen. The copy lets
    // what is on screen be told and compared exactly.
    PictureRecord& candidate = shown_[1 - shownIndex_];
    const bool copied = message.message == platform::kMsgFrameDecoded && embed::copyCurrentPicture(viewer_, candidate);
    const int shownBefore = embed::viewerState(viewer_).picturesShown;
    embed::dispatchMessage(viewer_, message, host);
    if (embed::viewerState(viewer_).picturesShown == shownBefore) return; // not a picture shown (or of an earlier run)
    result |= kNewPicture;
    ++picturesShown_;
    if (copied) shownIndex_ = 1 - shownIndex_; // else (no memory) the record stays behind
  });
  if (window_.takeInvalidated()) result |= kRepaint;
  return result;
}

const std::uint8_t* WebViewerHost::paintRgba() {
  embed::paint(viewer_, canvas_, {0, 0, canvas_.width(), canvas_.height()});
  const std::uint8_t* bgr = canvas_.pixels();
  std::uint8_t* rgba = rgba_.data();
  const std::size_t pixels = std::size_t(canvas_.width()) * canvas_.height();
  for (std::size_t i = 0; i < pixels; ++i, bgr += 3, rgba += 4) {
    rgba[0] = bgr[2];
    rgba[1] = bgr[1];
    rgba[2] = bgr[0];
  }
  return rgba_.data();
}

const char* WebViewerHost::statusText() const { return embed::viewerState(viewer_).statusText; }

bool WebViewerHost::showingPicture() const { return embed::viewerState(viewer_).showingPicture; }

} // namespace web

// The element script's interface. Every call runs on the page's main thread.
namespace {
presentation::DecodeMode decodeMode(int decodeFit) {
  return decodeFit ? presentation::DecodeMode::Fit : presentation::DecodeMode::Full;
}
} // namespace

extern "C" {

// decodeFit: 1 decodes at the element's size, 0 every picture in full (the attribute decode).
EMSCRIPTEN_KEEPALIVE web::WebViewerHost* camview_viewer_create(const char* recorder, int connectionId, int width,
                                                               int height, int decodeFit) {
  return web::WebViewerHost::create(recorder, connectionId, width, height, decodeMode(decodeFit));
}

EMSCRIPTEN_KEEPALIVE void camview_viewer_destroy(web::WebViewerHost* host) { delete host; }

EMSCRIPTEN_KEEPALIVE void camview_viewer_resize(web::WebViewerHost* host, int width, int height) {
  host->resize(width, height);
}

EMSCRIPTEN_KEEPALIVE void camview_viewer_set_decode(web::WebViewerHost* host, int decodeFit) {
  host->setDecodeMode(decodeMode(decodeFit));
}

EMSCRIPTEN_KEEPALIVE int camview_viewer_pump(web::WebViewerHost* host) { return host->pump(); }

EMSCRIPTEN_KEEPALIVE const std::uint8_t* camview_viewer_paint(web::WebViewerHost* host) { return host->paintRgba(); }

EMSCRIPTEN_KEEPALIVE int camview_viewer_width(web::WebViewerHost* host) { return host->width(); }
EMSCRIPTEN_KEEPALIVE int camview_viewer_height(web::WebViewerHost* host) { return host->height(); }

EMSCRIPTEN_KEEPALIVE const char* camview_viewer_status(web::WebViewerHost* host) { return host->statusText(); }

EMSCRIPTEN_KEEPALIVE int camview_viewer_showing_picture(web::WebViewerHost* host) { return host->showingPicture(); }

EMSCRIPTEN_KEEPALIVE int camview_viewer_pictures_shown(web::WebViewerHost* host) { return host->picturesShown(); }

// The picture on screen, for comparisons: its 208-byte header, its compressed bytes and the
// window size it was decoded for (four words: header, data, length, width << 16 | height).
EMSCRIPTEN_KEEPALIVE const void* camview_viewer_shown_picture(web::WebViewerHost* host, std::uintptr_t* words) {
  const PictureRecord& shown = host->shownPicture();
  words[0] = reinterpret_cast<std::uintptr_t>(shown.header);
  words[1] = reinterpret_cast<std::uintptr_t>(shown.data);
  words[2] = std::uintptr_t(shown.length);
  words[3] = (std::uintptr_t(shown.clientWidth) << 16) | std::uintptr_t(shown.clientHeight);
  return shown.header;
}
}
