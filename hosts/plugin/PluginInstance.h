#pragma once
// One plug-in instance per page element: the NPP's pdata points to it, and so does the
// window property "instance->pdata" of the window the browser gave it. It owns the viewer.
#include "hosts/plugin/Npapi.h"

#include <windows.h>

class CViewer;

namespace plugin {

struct PluginInstance {
  // The host's three members: the browser's current window record (not owned; null before
  // the first NPP_SetWindow), the window whose procedure is replaced (null when none), and
  // that window's own procedure, put back when the window is given back.
  NPWindow* browserWindow = nullptr;
  HWND window = nullptr;
  WNDPROC previousProcedure = nullptr;

  CViewer* viewer = nullptr; // created and destroyed through the viewer's facade

  // The plug-in's own hidden message window: the viewer's messages go there while the
  // browser has taken its window back, so none reaches the browser's window procedure and
  // none is lost (a lost "frame decoded" would stop the pictures for good).
  HWND parkingWindow = nullptr;
  // A picture announced there (message kMsgPictureWaiting, or one a decoded frame would take in) is not
  // taken without a window to render it for; the announcement is passed on to the next
  // window the browser gives.
  bool pictureAnnounced = false;
  WPARAM announcement = 0;

  bool socketsStarted = false; // this instance's WSAStartup succeeded: it owes one WSACleanup
};

} // namespace plugin
