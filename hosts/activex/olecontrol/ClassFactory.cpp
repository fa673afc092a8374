#include "hosts/activex/olecontrol/ClassFactory.h"

#include "hosts/activex/olecontrol/ComSupport.h"
#include "hosts/activex/olecontrol/Module.h"

namespace olecontrol {
namespace {

class ClassFactory final : public SingleInterfaceObject<IClassFactory, IID_IClassFactory> {
public:
  explicit ClassFactory(CreateFunction create) : create_(create) { objectCreated(); }
  ~ClassFactory() { objectDestroyed(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return guarded([&] { return create_(iid, object); });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lockServer(lock != FALSE);
    return S_OK;
  }

private:
  CreateFunction create_;
};

} // namespace

HRESULT getClassObject(const ClassEntry* classes, std::size_t count, REFCLSID clsid, REFIID iid, void** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    if (!IsEqualCLSID(clsid, *classes[i].clsid)) continue;
    auto* created = new (std::nothrow) ClassFactory(classes[i].create);
    if (!created) return E_OUTOFMEMORY;
    HRESULT result = created->QueryInterface(iid, factory);
    created->Release();
    return result;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

bool updateRegistryAll(const ClassEntry* classes, std::size_t count, bool registering) {
  bool allDone = true;
  for (std::size_t i = 0; i < count; ++i)
    allDone &= registering ? classes[i].registerClass() : classes[i].unregisterClass();
  return allDone;
}

} // namespace olecontrol
