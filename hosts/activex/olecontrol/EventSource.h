#pragma once
// The control's one connection point: the source of its event dispinterface. The control
// fires no events, but containers connect their sink to it (and script hosts look for it),
// so it accepts and drops connections like any source.
//
// The connection point is part of the control: it counts its references on the control,
// so that a container holding it keeps the control alive and nothing forms a cycle.
#include "hosts/activex/olecontrol/ComSupport.h"

#include <ocidl.h>
#include <olectl.h>

#include <utility>
#include <vector>

namespace olecontrol {

class EventSource final : public IConnectionPoint {
public:
  EventSource(IConnectionPointContainer& owner, const IID& eventInterface)
      : owner_(owner), eventInterface_(eventInterface) {}
  ~EventSource();
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

  // Releases every connected sink (the control is going).
  void disconnectAll();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  // An enumerator over this one connection point (EnumConnectionPoints).
  HRESULT enumerate(IEnumConnectionPoints** points);

private:
  IConnectionPointContainer& owner_;
  const IID& eventInterface_;
  std::vector<std::pair<DWORD, IUnknown*>> sinks_;
  DWORD nextCookie_ = 1;
};

} // namespace olecontrol
