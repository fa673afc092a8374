#include "hosts/activex/CamViewControlCtrl.h"

#include "hosts/activex/ControlIdentifiers.h"
#include "hosts/activex/ResourceIds.h"
#include "hosts/activex/olecontrol/DispatchValues.h"
#include "hosts/activex/olecontrol/Module.h"
#include "platform/paint/win32/GdiCanvas.h"

namespace {

const CLSID kPropertyPages[] = {CLSID_CamViewControlPropPage};

const olecontrol::ControlDescription kDescription{
    &CLSID_CamViewControl,
    &LIBID_CAMVIEWCONTROLLib,
    kTypeLibraryMajor,
    kTypeLibraryMinor,
    &DIID__DCamViewControl,
    &DIID__DCamViewControlEvents,
    kControlMiscStatus,
    IDS_CAMVIEWCONTROL,
    kPropertyPages,
    1,
    {320, 240},
};

// The status screen's blue (GDI colour reference), for a window without a viewer.
constexpr std::uint32_t kStatusBlue = 0xDC5050;
constexpr size_t kMaxHostBytes = 255;

} // namespace

CCamViewControlCtrl::CCamViewControlCtrl() : olecontrol::OleControl(kDescription) {}

CCamViewControlCtrl::~CCamViewControlCtrl() { destroyViewer(); }

std::string CCamViewControlCtrl::viewerHost(const std::wstring& ip, unsigned codePage) {
  // Every UTF-16 unit gives at least one byte, so the units past these cannot reach the kept
  // bytes; the margin keeps a surrogate pair whole.
  const int units = static_cast<int>(ip.size() < 2 * kMaxHostBytes ? ip.size() : 2 * kMaxHostBytes);
  if (units == 0) return {};
  const int bytes = WideCharToMultiByte(codePage, 0, ip.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string host(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, ip.data(), units, host.data(), bytes, nullptr, nullptr);
  // The viewer keeps at most 255 bytes: cut after the last whole character that fits, never
  // between the two bytes of a double-byte one.
  size_t end = 0;
  while (end < host.size()) {
    const bool lead = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(host[end])) && end + 1 < host.size();
    const size_t next = end + (lead ? 2 : 1);
    if (next > kMaxHostBytes) break;
    end = next;
  }
  host.resize(end);
  return host;
}

LRESULT CCamViewControlCtrl::OnCreate() {
  destroyViewer(); // a window created again starts afresh with the current values
  // The viewer holds a start-up of Windows Sockets of its own: not every container has
  // started them.
  const std::string host = viewerHost(m_IP);
  embed::ViewerSettings settings;
  settings.host = host.c_str();
  settings.port = m_Port;
  settings.connectionId = m_ConnectionID;
  settings.fontModule = olecontrol::moduleInstance();
  settings.fontIds = presentation::kControlFontIds;
  viewer_ = embed::createViewer(settings);
  embed::attachWindow(viewer_, window());
  // A failed start leaves the viewer on its status screen; there is nothing to retry.
  embed::startViewer(viewer_);
  return 0;
}

void CCamViewControlCtrl::OnDestroy() { destroyViewer(); }

void CCamViewControlCtrl::destroyViewer() {
  // Stops the viewer's threads while its window still exists; nothing is posted to the
  // window after this.
  if (viewer_) embed::destroyViewer(viewer_);
  viewer_ = nullptr;
}

void CCamViewControlCtrl::OnDraw(HDC dc, const RECT& bounds) {
  paint::GdiCanvas canvas(dc);
  const paint::Rect area{bounds.left, bounds.top, bounds.right, bounds.bottom};
  if (viewer_)
    embed::paint(viewer_, canvas, area);
  else
    canvas.fillSolid(area, kStatusBlue); // no viewer (no memory for one, or no window yet)
}

void CCamViewControlCtrl::DoPropExchange(olecontrol::PropertyExchange& exchange) {
  exchange.exchangeVersion(kPropertyVersion, true);
  olecontrol::OleControl::DoPropExchange(exchange);
  exchange.exchangeNumber(L"ConnectionID", m_ConnectionID, 0);
  exchange.exchangeNumber(L"Port", m_Port, 0);
  exchange.exchangeText(L"IP", m_IP);
}

bool CCamViewControlCtrl::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message < platform::kMsgPictureWaiting || message > platform::kMsgOfferPicture) return false;
  RECT client{};
  GetClientRect(window(), &client);
  ViewerHostWindow host;
  host.window = window();
  host.clientWidth = client.right;
  host.clientHeight = client.bottom;
  host.eraseOnFrame = true;
  embed::dispatchMessage(viewer_, platform::WindowMessage{message, wParam, lParam}, host);
  result = 1;
  return true;
}

HRESULT CCamViewControlCtrl::GetDispatchProperty(DISPID id, VARIANT& value) {
  switch (id) {
  case kDispidIP:
    return olecontrol::textToVariant(m_IP, value);
  case kDispidConnectionID:
    olecontrol::numberToVariant(m_ConnectionID, value);
    return S_OK;
  case kDispidPort:
    olecontrol::numberToVariant(m_Port, value);
    return S_OK;
  default:
    return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT CCamViewControlCtrl::PutDispatchProperty(DISPID id, const VARIANT& value) {
  HRESULT result = DISP_E_MEMBERNOTFOUND;
  switch (id) {
  case kDispidIP:
    result = olecontrol::textFromVariant(value, m_IP);
    break;
  case kDispidConnectionID:
    result = olecontrol::numberFromVariant(value, m_ConnectionID);
    break;
  case kDispidPort:
    result = olecontrol::numberFromVariant(value, m_Port);
    break;
  default:
    break;
  }
  // The value reaches the viewer only at the next creation of the window; it is saved with
  // the next save.
  if (SUCCEEDED(result)) SetModifiedFlag(true);
  return result;
}
