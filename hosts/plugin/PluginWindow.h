#pragma once
// The instance's window: the browser's child window whose procedure the plug-in replaces to
// paint the viewer and to receive its messages kMsgPictureWaiting to kMsgOfferPicture, and the plug-in's own hidden
// window that holds those messages while the browser has taken its window back.
#include "hosts/plugin/PluginInstance.h"

namespace plugin {

// NPP_SetWindow: a first window is attached, the same window repainted, another window
// takes the viewer over (the old one gets its own procedure back), and a record without a
// window gives the window back.
void setWindow(PluginInstance& instance, NPWindow* record);

// NPP_Destroy, after the viewer's threads have stopped: gives the browser its window back,
// drops the viewer's messages still queued for it, and destroys the plug-in's own window.
void releaseWindows(PluginInstance& instance);

// Paints the viewer into `dc` over (0, 0, width, height): WM_PAINT, WM_PRINT, NPP_Print.
void paintInto(const PluginInstance& instance, HDC dc, std::uint32_t width, std::uint32_t height);

// NP_Shutdown: the class of the plug-in's own windows goes with the DLL.
void unregisterWindowClass();

} // namespace plugin
