#include "hosts/activex/olecontrol/EventSource.h"

#include "hosts/activex/olecontrol/ComSupport.h"

namespace olecontrol {
namespace {

// Enumerates one connection point; holds a reference to it (and so to its control).
class SinglePointEnumerator final : public SingleInterfaceObject<IEnumConnectionPoints, IID_IEnumConnectionPoints> {
public:
  explicit SinglePointEnumerator(IConnectionPoint* point, ULONG position = 0) : position_(position) {
    point_.assign(point);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (!points || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && position_ == 0) {
      points[0] = point_.get();
      points[0]->AddRef();
      position_ = 1;
      given = 1;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG remaining = 1 - position_;
    position_ += count < remaining ? count : remaining;
    return count <= remaining ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
    if (!copy) return E_POINTER;
    *copy = new (std::nothrow) SinglePointEnumerator(point_.get(), position_);
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

private:
  ComRef<IConnectionPoint> point_;
  ULONG position_;
};

} // namespace

EventSource::~EventSource() { disconnectAll(); }

void EventSource::disconnectAll() {
  auto sinks = std::move(sinks_);
  sinks_.clear();
  for (auto& [cookie, sink] : sinks) sink->Release();
}

HRESULT EventSource::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT EventSource::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = eventInterface_;
  return S_OK;
}

HRESULT EventSource::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT EventSource::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // The sink must speak the event interface (or plain IDispatch, as script hosts give it).
  IUnknown* events = nullptr;
  if (FAILED(sink->QueryInterface(eventInterface_, reinterpret_cast<void**>(&events))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&events))))
    return CONNECT_E_CANNOTCONNECT;
  try {
    sinks_.emplace_back(nextCookie_, events);
  } catch (...) {
    events->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT EventSource::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first != cookie) continue;
    IUnknown* sink = it->second;
    sinks_.erase(it);
    sink->Release();
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT EventSource::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

HRESULT EventSource::enumerate(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  *points = new (std::nothrow) SinglePointEnumerator(this);
  return *points ? S_OK : E_OUTOFMEMORY;
}

} // namespace olecontrol
