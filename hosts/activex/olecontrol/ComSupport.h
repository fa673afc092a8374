#pragma once
// Small helpers of the OLE-control layer: a holder for one interface reference, and the
// guard that turns a C++ exception into an HRESULT at a COM boundary. An exception that
// leaves a COM method or an export ends the container's process (on i686 the unwinder of a
// statically linked module cannot cross into another), so every method that can allocate
// runs its body through `guarded`.
#include <windows.h>
// After windows.h: the OLE declarations (left out by WIN32_LEAN_AND_MEAN).
#include <ole2.h>

#include <atomic>
#include <new>
#include <string>
#include <utility>

namespace olecontrol {

template <class Interface>
class ComRef {
public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { reset(); }

  // Takes a reference the caller already holds (as a QueryInterface result does).
  void attach(Interface* pointer) {
    reset();
    pointer_ = pointer;
  }
  // Takes a new reference to `pointer`.
  void assign(Interface* pointer) {
    if (pointer) pointer->AddRef();
    reset();
    pointer_ = pointer;
  }
  void reset() {
    if (Interface* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  // Asks `from` for this interface; false when it has none.
  template <class From>
  bool queryFrom(From* from, REFIID iid) {
    reset();
    return from && SUCCEEDED(from->QueryInterface(iid, reinterpret_cast<void**>(&pointer_))) && pointer_;
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out-parameters: releases what is held and gives the slot.
  Interface** put() {
    reset();
    return &pointer_;
  }

private:
  Interface* pointer_ = nullptr;
};

// IUnknown for a small object that offers one interface besides IUnknown, named by the
// template arguments. References are counted atomically: containers may release from any
// thread.
template <class Interface, const IID& kInterfaceId>
class SingleInterfaceObject : public Interface {
public:
  virtual ~SingleInterfaceObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kInterfaceId)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1) + 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

private:
  std::atomic<ULONG> references_{1};
};

template <class Body>
HRESULT guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Copies a text into memory from CoTaskMemAlloc, as COM out-parameters want it.
LPOLESTR copyToTaskMemory(const wchar_t* text);

// The text of string resource `id` of this module; empty when there is none.
std::wstring loadResourceString(UINT id);

} // namespace olecontrol
