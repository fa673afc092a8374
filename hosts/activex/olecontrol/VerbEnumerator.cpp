#include "hosts/activex/olecontrol/VerbEnumerator.h"

#include "hosts/activex/olecontrol/ComSupport.h"

#include <olectl.h>

#include <iterator>
#include <new>

namespace olecontrol {
namespace {

// In the order containers expect: the primary verb first. Only "Properties" is meant for
// the container's menu; the others are the activation verbs every container knows.
struct Verb {
  LONG id;
  const wchar_t* name;
  DWORD attributes;
};
const Verb kVerbs[] = {
    {OLEIVERB_PRIMARY, nullptr, 0},
    {OLEIVERB_SHOW, nullptr, 0},
    {OLEIVERB_INPLACEACTIVATE, nullptr, 0},
    {OLEIVERB_UIACTIVATE, nullptr, 0},
    {OLEIVERB_PROPERTIES, L"&Properties\u2026", OLEVERBATTRIB_ONCONTAINERMENU},
};
constexpr ULONG kVerbCount = ULONG(std::size(kVerbs));

class VerbEnumerator final : public SingleInterfaceObject<IEnumOLEVERB, IID_IEnumOLEVERB> {
public:
  explicit VerbEnumerator(ULONG position = 0) : position_(position) {}

  // Each name is a copy of the caller's, freed with CoTaskMemFree.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, OLEVERB* verbs, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!verbs || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    for (; done < count && position_ < kVerbCount; ++done, ++position_) {
      const Verb& verb = kVerbs[position_];
      verbs[done].lVerb = verb.id;
      verbs[done].lpszVerbName = nullptr;
      if (verb.name && !(verbs[done].lpszVerbName = copyToTaskMemory(verb.name))) {
        for (ULONG i = 0; i < done; ++i) CoTaskMemFree(verbs[i].lpszVerbName);
        return E_OUTOFMEMORY;
      }
      verbs[done].fuFlags = MF_ENABLED;
      verbs[done].grfAttribs = verb.attributes;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = kVerbCount - position_;
    position_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumOLEVERB** copy) override {
    if (!copy) return E_POINTER;
    *copy = new (std::nothrow) VerbEnumerator(position_);
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

private:
  ULONG position_;
};

} // namespace

HRESULT enumerateVerbs(IEnumOLEVERB** verbs) {
  if (!verbs) return E_POINTER;
  *verbs = new (std::nothrow) VerbEnumerator;
  return *verbs ? S_OK : E_OUTOFMEMORY;
}

} // namespace olecontrol
