#pragma once
// The same viewer core as the hosts', in the test's own process: created through the same
// facade with the same fonts (the test program carries them as resources 104 to 111, from
// ViewerFonts.rc), its messages handled through a message window, painted onto a
// SoftwareCanvas. What a host's window shows is compared with what this paints.
#include "platform/Window.h"
#include "platform/paint/SoftwareCanvas.h"

#include <functional>
#include <map>

class CViewer;

namespace winetest {

class NativeViewer {
public:
  // Started at once; it renders pictures for a window of width x height.
  NativeViewer(const char* host, int port, int connectionId, int width, int height);
  ~NativeViewer();
  NativeViewer(const NativeViewer&) = delete;
  NativeViewer& operator=(const NativeViewer&) = delete;

  // Handles the viewer's messages until `done` is true; false after `timeoutMs`.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  // Messages of this number handled so far; for kMsgStatus, `withText` counts those with a text.
  int handled(unsigned message, bool withText = false) const;

  paint::SoftwareCanvas paint() const;

private:
  CViewer* viewer_ = nullptr;
  platform::MessageWindow window_;
  int width_;
  int height_;
  std::map<unsigned, int> handled_;
  int statusTexts_ = 0;
};

// What the core paints natively in a window of width x height once it shows the picture of
// a "fixed:S" recorder (FixedPicture.h) for `seed`; an empty canvas when it never does. The
// sockets it used are given back before it returns.
paint::SoftwareCanvas nativeFixedPicture(int seed, int width, int height);

} // namespace winetest
