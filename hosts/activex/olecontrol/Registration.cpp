#include "hosts/activex/olecontrol/Registration.h"

#include "hosts/activex/olecontrol/ComSupport.h"
#include "hosts/activex/olecontrol/Module.h"

#include <comcat.h>
#include <oleauto.h>

#include <cwchar>

namespace olecontrol {
namespace {

// Creates (or opens) HKCR\<path> and sets its default value, and a named one when given.
bool setKey(const std::wstring& path, const wchar_t* defaultValue, const wchar_t* name = nullptr,
            const wchar_t* value = nullptr) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  auto set = [&](const wchar_t* valueName, const wchar_t* text) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
  };
  bool done = (!defaultValue || set(nullptr, defaultValue)) && (!name || set(name, value));
  RegCloseKey(key);
  return done;
}

bool deleteTree(const std::wstring& path) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool registerServer(const std::wstring& classKey) {
  const std::wstring path = modulePath();
  return !path.empty() && setKey(classKey + L"\\InprocServer32", path.c_str(), L"ThreadingModel", L"Apartment");
}

// Registry key names carry version numbers and locales in hexadecimal, lower case.
std::wstring hexText(unsigned long value) {
  wchar_t text[16] = {};
  _ultow(value, text, 16);
  return text;
}

class CategoryManager {
public:
  HRESULT create() {
    return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                            reinterpret_cast<void**>(manager_.put()));
  }
  ICatRegister* operator->() const { return manager_.get(); }

private:
  ComRef<ICatRegister> manager_;
};

} // namespace

std::wstring guidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

bool registerControlClass(const ControlClassInfo& info) {
  const std::wstring typeName = loadResourceString(info.typeNameId);
  const std::wstring clsid = guidText(*info.clsid);
  const std::wstring key = L"CLSID\\" + clsid;
  const std::wstring bitmap = modulePath() + L", " + std::to_wstring(info.toolboxBitmapId);
  const std::wstring misc = std::to_wstring(info.miscStatus);
  const std::wstring version = std::to_wstring(info.majorVersion) + L"." + std::to_wstring(info.minorVersion);
  return setKey(key, typeName.c_str()) && registerServer(key) && setKey(key + L"\\ProgID", info.progId) &&
         setKey(key + L"\\Control", nullptr) && setKey(key + L"\\ToolboxBitmap32", bitmap.c_str()) &&
         // The default value holds the status of all aspects; subkey 1 is DVASPECT_CONTENT.
         setKey(key + L"\\MiscStatus", L"0") && setKey(key + L"\\MiscStatus\\1", misc.c_str()) &&
         setKey(key + L"\\TypeLib", guidText(*info.typeLibrary).c_str()) &&
         setKey(key + L"\\Version", version.c_str()) && setKey(info.progId, typeName.c_str()) &&
         setKey(std::wstring(info.progId) + L"\\CLSID", clsid.c_str());
}

bool registerPropertyPageClass(const CLSID& clsid, UINT typeNameId) {
  const std::wstring key = L"CLSID\\" + guidText(clsid);
  return setKey(key, loadResourceString(typeNameId).c_str()) && registerServer(key);
}

bool unregisterClass(const CLSID& clsid, const wchar_t* progId) {
  bool done = deleteTree(L"CLSID\\" + guidText(clsid));
  if (progId) done &= deleteTree(progId);
  return done;
}

HRESULT registerTypeLibrary() {
  std::wstring path = modulePath();
  ComRef<ITypeLib> library;
  HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
  if (FAILED(result)) return result;
  // Without a help folder RegisterTypeLib records the module's own folder.
  return RegisterTypeLib(library.get(), path.data(), nullptr);
}

HRESULT unregisterTypeLibrary() {
  // The library is registered under its own locale and system kind; unregistering must name
  // the same ones, so they are read from the module's copy.
  ComRef<ITypeLib> library;
  HRESULT result = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, library.put());
  if (FAILED(result)) return result;
  TLIBATTR* attributes = nullptr;
  result = library->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  const TLIBATTR copy = *attributes;
  library->ReleaseTLibAttr(attributes);
  library.reset();

  const std::wstring entry = L"TypeLib\\" + guidText(copy.guid) + L"\\" + hexText(copy.wMajorVerNum) + L"." +
                             hexText(copy.wMinorVerNum) + L"\\" + hexText(copy.lcid) + L"\\" +
                             (copy.syskind == SYS_WIN64 ? L"win64" : L"win32");
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, entry.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return S_OK; // not registered: nothing to remove
  RegCloseKey(key);
  return UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

HRESULT createComponentCategory(const CATID& category, const wchar_t* description) {
  CategoryManager manager;
  HRESULT result = manager.create();
  if (FAILED(result)) return result;
  CATEGORYINFO info{};
  info.catid = category;
  info.lcid = 0x0409;
  const size_t capacity = sizeof info.szDescription / sizeof info.szDescription[0];
  std::wcsncpy(info.szDescription, description, capacity - 1); // at most 127 characters and a NUL
  return manager->RegisterCategories(1, &info);
}

HRESULT registerClassImplementedCategory(const CLSID& clsid, const CATID& category) {
  CategoryManager manager;
  HRESULT result = manager.create();
  if (FAILED(result)) return result;
  CATID categories[1] = {category};
  return manager->RegisterClassImplCategories(clsid, 1, categories);
}

} // namespace olecontrol
