#pragma once
// The browser's side of a page with plug-in elements: a visible frame window, one plain
// child window per element (what a browser gives a windowed plug-in), NPP_New with the
// element's attributes, NPP_SetWindow, and the message loop on this one thread.
//
// The loop records what it takes from the queue for each element window (the viewer's
// messages kMsgPictureWaiting to kMsgOfferPicture, WM_PAINT), and each element window's own procedure counts the
// viewer's messages that reach it: the plug-in must never let one through to the browser.
#include "hosts/plugin/Npapi.h"
#include "tests/wine/plugin/PluginLibrary.h"

#include <windows.h>

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pluginsupport {

// An element's attribute: a name and a value that may be null (the "PARAM" separator).
using Attribute = std::pair<std::string, std::optional<std::string>>;

// The colour an element window's own procedure paints: whatever shows it was not painted by
// the plug-in.
constexpr COLORREF kBrowserBackground = RGB(255, 0, 255);

struct Element {
  NPP_t npp = {};       // lives as long as the element: the plug-in keeps its pdata here
  NPWindow window = {}; // the record handed to NPP_SetWindow, reused for every later call
  HWND site = nullptr;  // the child window given to the plug-in
  NPError created = NPERR_GENERIC_ERROR;
  bool destroyed = false;
};

class TestBrowser {
public:
  explicit TestBrowser(PluginLibrary& plugin);
  ~TestBrowser(); // destroys every element still alive, then the windows
  TestBrowser(const TestBrowser&) = delete;
  TestBrowser& operator=(const TestBrowser&) = delete;

  // A child window of the frame at (x, y), w x h pixels, with the browser's own procedure.
  HWND createSite(int x, int y, int width, int height);
  void resizeSite(HWND site, int width, int height);

  // NPP_New with the attributes as the page sends them (mode NP_EMBED).
  Element& embed(const std::vector<Attribute>& attributes);
  // NPP_SetWindow with the element's record for `site` (null: the window is taken back).
  NPError setWindow(Element& element, HWND site);
  NPError destroy(Element& element);

  // Runs the message loop until `done` is true or `timeoutMs` has passed; false on timeout.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  // Runs the message loop until every queued message has been handled.
  void pumpPending();

  // Messages the loop took from the queue for `site`; for windows that are no site of this
  // browser (the plug-in's own) with takenElsewhere.
  int taken(HWND site, UINT message) const;
  int takenElsewhere(UINT message) const;
  // The viewer's messages (kMsgPictureWaiting to kMsgOfferPicture) that reached the site's own procedure.
  static int viewerMessagesSeenByBrowser(HWND site);
  // Called after each message the loop dispatched.
  std::function<void(const MSG&)> afterDispatch;

  HWND frame() const { return frame_; }
  PluginLibrary& plugin() { return plugin_; }

private:
  PluginLibrary& plugin_;
  HWND frame_ = nullptr;
  std::list<Element> elements_;
  std::vector<HWND> sites_;
  std::map<std::pair<HWND, UINT>, int> taken_;
};

} // namespace pluginsupport
