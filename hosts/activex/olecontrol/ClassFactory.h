#pragma once
// Class factories and the module's table of creatable classes: DllGetClassObject hands out
// a factory for a class of the table, and registration walks the same table.
#include "hosts/activex/olecontrol/ComSupport.h"

#include <cstddef>
#include <new>

namespace olecontrol {

// Makes a new object and asks it for `iid`.
using CreateFunction = HRESULT (*)(REFIID iid, void** object);

// One creatable class of the module, with what registration writes and removes for it.
struct ClassEntry {
  const CLSID* clsid;
  CreateFunction create;
  bool (*registerClass)();
  bool (*unregisterClass)();
};

// Creates an object of class T (whose new objects hold one reference) and queries it.
template <class T>
HRESULT createObject(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  T* created = new (std::nothrow) T();
  if (!created) return E_OUTOFMEMORY;
  HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

// DllGetClassObject over a table: CLASS_E_CLASSNOTAVAILABLE for a class not in it.
HRESULT getClassObject(const ClassEntry* classes, std::size_t count, REFCLSID clsid, REFIID iid, void** factory);

// Registers (or unregisters) every class of the table; false when one of them failed.
bool updateRegistryAll(const ClassEntry* classes, std::size_t count, bool registering);

} // namespace olecontrol
