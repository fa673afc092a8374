#pragma once
// The window class of the controls of this module: a child window whose procedure hands
// every message to its OleControl.
#include <windows.h>

namespace olecontrol {

class OleControl;

// Creates the control's child window; WM_CREATE reaches the control inside this call.
HWND createControlWindow(OleControl& control, HWND parent, const RECT& position);

// Removes the window class when the module is unloaded, so that a later load of the module
// (at another address) registers its own window procedure again.
void unregisterControlWindowClass();

} // namespace olecontrol
