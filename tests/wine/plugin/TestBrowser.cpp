#include "tests/wine/plugin/TestBrowser.h"

#include "tests/wine/support/MessageLoop.h"
#include "platform/Window.h"

#include <algorithm>

namespace pluginsupport {
namespace {

const wchar_t kFrameClass[] = L"CamviewTestBrowserFrame";
const wchar_t kSiteClass[] = L"CamviewTestBrowserPluginSite";

std::map<HWND, int>& viewerMessagesAtSite() {
  static std::map<HWND, int> counts;
  return counts;
}

bool isViewerMessage(UINT message) {
  return message >= platform::kMsgPictureWaiting && message <= platform::kMsgOfferPicture;
}

void paintBackground(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  HBRUSH brush = CreateSolidBrush(kBrowserBackground);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
}

// The browser's own procedure of a plug-in's child window.
LRESULT CALLBACK siteProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (isViewerMessage(message)) {
    ++viewerMessagesAtSite()[window];
    return 0;
  }
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    paintBackground(window, dc);
    EndPaint(window, &paint);
    return 0;
  }
  case WM_PRINTCLIENT:
    paintBackground(window, reinterpret_cast<HDC>(wParam));
    return 0;
  default:
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

void registerClasses() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSW frame = {};
  frame.lpfnWndProc = DefWindowProcW;
  frame.hInstance = GetModuleHandleW(nullptr);
  frame.lpszClassName = kFrameClass;
  frame.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassW(&frame);
  WNDCLASSW site = {};
  site.lpfnWndProc = siteProcedure;
  site.hInstance = GetModuleHandleW(nullptr);
  site.lpszClassName = kSiteClass;
  RegisterClassW(&site);
  registered = true;
}

} // namespace

TestBrowser::TestBrowser(PluginLibrary& plugin) : plugin_(plugin) {
  registerClasses();
  // At the screen's origin and within it: the null display driver's screen is 1024 x 768.
  frame_ = CreateWindowExW(0, kFrameClass, L"camview test browser", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 1000,
                           700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TestBrowser::~TestBrowser() {
  for (Element& element : elements_)
    if (!element.destroyed && element.created == NPERR_NO_ERROR) destroy(element);
  for (HWND site : sites_)
    if (IsWindow(site)) DestroyWindow(site);
  if (frame_) DestroyWindow(frame_);
  pumpPending();
}

HWND TestBrowser::createSite(int x, int y, int width, int height) {
  HWND site = CreateWindowExW(0, kSiteClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y,
                              width, height, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
  sites_.push_back(site);
  viewerMessagesAtSite()[site] = 0;
  return site;
}

void TestBrowser::resizeSite(HWND site, int width, int height) {
  SetWindowPos(site, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Element& TestBrowser::embed(const std::vector<Attribute>& attributes) {
  Element& element = elements_.emplace_back();
  // The arrays are the browser's: valid for the call only.
  std::vector<std::string> names;
  std::vector<std::string> values;
  for (const Attribute& attribute : attributes) {
    names.push_back(attribute.first);
    values.push_back(attribute.second.value_or(""));
  }
  std::vector<char*> argn;
  std::vector<char*> argv;
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    argn.push_back(names[i].data());
    argv.push_back(attributes[i].second ? values[i].data() : nullptr);
  }
  char mimeType[] = "application/x-quellmark-wavelet";
  element.created = plugin_.functions().newp(mimeType, &element.npp, NP_EMBED, static_cast<std::int16_t>(argn.size()),
                                             argn.data(), argv.data(), nullptr);
  return element;
}

NPError TestBrowser::setWindow(Element& element, HWND site) {
  NPWindow& record = element.window;
  record.window = site;
  record.x = 0;
  record.y = 0;
  RECT client = {};
  if (site) GetClientRect(site, &client);
  record.width = static_cast<std::uint32_t>(client.right);
  record.height = static_cast<std::uint32_t>(client.bottom);
  record.clipRect = {0, 0, static_cast<std::uint16_t>(client.bottom), static_cast<std::uint16_t>(client.right)};
  record.type = NPWindowTypeWindow;
  element.site = site;
  return plugin_.functions().setwindow(&element.npp, &record);
}

NPError TestBrowser::destroy(Element& element) {
  element.destroyed = true;
  NPSavedData* saved = nullptr;
  return plugin_.functions().destroy(&element.npp, &saved);
}

bool TestBrowser::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  return winetest::pumpUntil(done, timeoutMs, [this] { pumpPending(); });
}

void TestBrowser::pumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.hwnd) ++taken_[{message.hwnd, message.message}];
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (afterDispatch) afterDispatch(message);
  }
}

int TestBrowser::taken(HWND site, UINT message) const {
  const auto found = taken_.find({site, message});
  return found == taken_.end() ? 0 : found->second;
}

int TestBrowser::takenElsewhere(UINT message) const {
  int count = 0;
  for (const auto& [key, number] : taken_)
    if (key.second == message && key.first != frame_ &&
        std::find(sites_.begin(), sites_.end(), key.first) == sites_.end())
      count += number;
  return count;
}

int TestBrowser::viewerMessagesSeenByBrowser(HWND site) {
  const auto found = viewerMessagesAtSite().find(site);
  return found == viewerMessagesAtSite().end() ? 0 : found->second;
}

} // namespace pluginsupport
