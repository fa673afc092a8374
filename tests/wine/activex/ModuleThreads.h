#pragma once
// Threads of this process that were started on code of a given module: the control's viewer
// threads start on code of CamViewControl.ocx.
#include <windows.h>

namespace activextest {

// -1 when the threads cannot be listed.
int threadsStartedIn(HMODULE module);

} // namespace activextest
