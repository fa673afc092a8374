#include "hosts/activex/ControlRegistration.h"

#include "hosts/activex/CamViewControlCtrl.h"
#include "hosts/activex/CamViewControlPropPage.h"
#include "hosts/activex/ControlIdentifiers.h"
#include "hosts/activex/ResourceIds.h"
#include "hosts/activex/olecontrol/Registration.h"

#include <objsafe.h>
#include <olectl.h>

namespace {

// The system's component categories for controls that are safe in a web page.
const CATID kSafeForScripting = {0x7dd95801, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};
const CATID kSafeForInitializing = {0x7dd95802, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};

bool registerControl() {
  olecontrol::ControlClassInfo info{};
  info.clsid = &CLSID_CamViewControl;
  info.progId = kControlProgId;
  info.typeNameId = IDS_CAMVIEWCONTROL;
  info.toolboxBitmapId = IDB_CAMVIEWCONTROL;
  info.miscStatus = kControlMiscStatus;
  info.typeLibrary = &LIBID_CAMVIEWCONTROLLib;
  info.majorVersion = kTypeLibraryMajor;
  info.minorVersion = kTypeLibraryMinor;
  return olecontrol::registerControlClass(info);
}

bool unregisterControl() { return olecontrol::unregisterClass(CLSID_CamViewControl, kControlProgId); }

bool registerPage() {
  return olecontrol::registerPropertyPageClass(CLSID_CamViewControlPropPage, IDS_CAMVIEWCONTROL_PPG);
}

bool unregisterPage() { return olecontrol::unregisterClass(CLSID_CamViewControlPropPage, nullptr); }

} // namespace

const olecontrol::ClassEntry kControlClasses[2] = {
    {&CLSID_CamViewControl, olecontrol::createObject<CCamViewControlCtrl>, registerControl, unregisterControl},
    {&CLSID_CamViewControlPropPage, olecontrol::createObject<CCamViewControlPropPage>, registerPage, unregisterPage},
};

HRESULT registerControlModule() {
  if (FAILED(olecontrol::registerTypeLibrary())) return SELFREG_E_TYPELIB;
  if (!olecontrol::updateRegistryAll(kControlClasses, 2, true)) return SELFREG_E_CLASS;
  if (FAILED(olecontrol::createComponentCategory(kSafeForScripting, L"Controls that are safely scriptable")) ||
      FAILED(olecontrol::createComponentCategory(kSafeForInitializing,
                                                 L"Controls safely initializable from persistent data")) ||
      FAILED(olecontrol::registerClassImplementedCategory(CLSID_CamViewControl, kSafeForScripting)) ||
      FAILED(olecontrol::registerClassImplementedCategory(CLSID_CamViewControl, kSafeForInitializing)))
    return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT unregisterControlModule() {
  if (FAILED(olecontrol::unregisterTypeLibrary())) return SELFREG_E_TYPELIB;
  if (!olecontrol::updateRegistryAll(kControlClasses, 2, false)) return SELFREG_E_CLASS;
  return S_OK;
}
