#pragma once
// The camera viewer as an ActiveX control. Three persistent properties configure it: "IP"
// (the recorder's address), "Port" and "ConnectionID". When the control's window is created
// the viewer is made from their values and started; it paints into that window and stops
// (its threads first) when the window goes. Changing a property later only marks the control
// as modified: it takes effect at the next creation of the window.
#include "hosts/activex/olecontrol/OleControl.h"
#include "presentation/EmbeddedViewer.h"

#include <string>

class CCamViewControlCtrl final : public olecontrol::OleControl {
public:
  // The version of the saved properties (1.0).
  static constexpr DWORD kPropertyVersion = 0x00010000;

  CCamViewControlCtrl();
  ~CCamViewControlCtrl() override;

  std::wstring m_IP;       // "IP"
  LONG m_ConnectionID = 0; // "ConnectionID"
  LONG m_Port = 0;         // "Port"

  // The recorder address as the viewer takes it: at most 255 characters, in the system's
  // code page.
  static std::string viewerHost(const std::wstring& ip, unsigned codePage = CP_ACP);

protected:
  LRESULT OnCreate() override;
  void OnDestroy() override;
  void OnDraw(HDC dc, const RECT& bounds) override;
  void DoPropExchange(olecontrol::PropertyExchange& exchange) override;
  bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  HRESULT GetDispatchProperty(DISPID id, VARIANT& value) override;
  HRESULT PutDispatchProperty(DISPID id, const VARIANT& value) override;

private:
  void destroyViewer();

  CViewer* viewer_ = nullptr;
};
