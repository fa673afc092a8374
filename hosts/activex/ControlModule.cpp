// The entry points of CamViewControl.ocx. None lets an exception out: a failure is an
// HRESULT.
#include "hosts/activex/ControlRegistration.h"
#include "hosts/activex/olecontrol/ComSupport.h"
#include "hosts/activex/olecontrol/ControlWindow.h"
#include "hosts/activex/olecontrol/Module.h"
#include "presentation/EmbeddedViewer.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) olecontrol::setModuleInstance(instance);
  // On FreeLibrary (not at process exit) the window class goes with the code it points to.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) olecontrol::unregisterControlWindowClass();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* factory) {
  return olecontrol::guarded([&] { return olecontrol::getClassObject(kControlClasses, 2, clsid, iid, factory); });
}

// The module may go only when no object, no server lock and no viewer (whose threads run
// code of this module) is left.
STDAPI DllCanUnloadNow() {
  return olecontrol::objectCount() == 0 && olecontrol::lockCount() == 0 && embed::liveViewers() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  return olecontrol::guarded([] { return registerControlModule(); });
}

STDAPI DllUnregisterServer() {
  return olecontrol::guarded([] { return unregisterControlModule(); });
}
