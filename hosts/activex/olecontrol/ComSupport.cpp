#include "hosts/activex/olecontrol/ComSupport.h"

#include "hosts/activex/olecontrol/Module.h"

#include <cstring>
#include <cwchar>

namespace olecontrol {

LPOLESTR copyToTaskMemory(const wchar_t* text) {
  if (!text) return nullptr;
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

std::wstring loadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  // With a length of 0 LoadStringW gives a pointer to the resource's own text (not
  // NUL-terminated) and returns its length.
  int length = LoadStringW(moduleInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

} // namespace olecontrol
