#pragma once
// What a control module writes into the registry to be found by containers, and removes
// again: the class keys of a control and of a property page, the module's type library,
// and component categories (through the system's category manager).
#include "hosts/activex/olecontrol/ComSupport.h"

#include <comcat.h>

#include <string>

namespace olecontrol {

struct ControlClassInfo {
  const CLSID* clsid;
  const wchar_t* progId;
  UINT typeNameId; // string resource
  UINT toolboxBitmapId;
  DWORD miscStatus; // OLEMISC_* bits for DVASPECT_CONTENT
  const GUID* typeLibrary;
  WORD majorVersion;
  WORD minorVersion;
};

// HKCR\CLSID\{clsid}: type name, InprocServer32 (this module, ThreadingModel Apartment),
// ProgID, Control, ToolboxBitmap32, MiscStatus, TypeLib, Version; HKCR\<ProgID>: type name
// and CLSID. Existing values are overwritten.
bool registerControlClass(const ControlClassInfo& info);
// HKCR\CLSID\{clsid}: type name and InprocServer32 (Apartment); no ProgID.
bool registerPropertyPageClass(const CLSID& clsid, UINT typeNameId);
// Removes HKCR\CLSID\{clsid} and, when given, HKCR\<progId> with everything under them.
// Keys that are already gone count as removed.
bool unregisterClass(const CLSID& clsid, const wchar_t* progId);

// Registers the type library resource 1 of this module.
HRESULT registerTypeLibrary();
// Unregisters that library, with the locale and system kind it was registered with. A
// library that is not registered counts as removed.
HRESULT unregisterTypeLibrary();

// ICatRegister::RegisterCategories for one category with its description (locale 0x0409,
// at most 127 characters); the HRESULT of CoCreateInstance or of the call.
HRESULT createComponentCategory(const CATID& category, const wchar_t* description);
// ICatRegister::RegisterClassImplCategories for one category.
HRESULT registerClassImplementedCategory(const CLSID& clsid, const CATID& category);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::wstring guidText(const GUID& guid);

} // namespace olecontrol
