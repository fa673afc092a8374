#pragma once
// The control module under test, CamViewControl.ocx of this build, and its entry points.
#include <windows.h>

#include <string>

namespace activextest {

// The full path of this build's CamViewControl.ocx (CAMVIEW_CONTROL_PATH: relative to the
// folder of the test program).
std::wstring controlPath();

// Loads the module and calls DllRegisterServer or DllUnregisterServer in this process.
HRESULT registerControl(bool registering);
// DllCanUnloadNow of the module as loaded in this process; S_OK also when it is not loaded.
HRESULT controlCanUnloadNow();
// The module when COM has it loaded in this process, else null.
HMODULE loadedControl();

} // namespace activextest
