#pragma once
// The window-message contract of a viewer, in one place for every host: the host's window
// procedure (or message pump) hands each message to dispatchViewerMessage.
//
//   1025 a picture waits      takePicture; when taken, post 1029 to the own window
//   1026 status               lParam == 0: showStatus(wParam); else lParam is a recorder
//                             error code (engine/StatusIndex.h): showStatusText of its text
//   1027 status by index      showStatus(wParam)
//   1028 frame decoded        frameDecoded(wParam); take a picture that waited meanwhile
//                             (posting 1029); invalidate the whole window
//   1029 offer the picture    submitPicture (a refusal is resolved by the next 1028)
//
// wParam carries the contract's value in its low 16 bits and the run number of the viewer
// start that posted it above them (engine/RunTag.h); messages of any other run, and anything
// else carrying these numbers, are ignored. No message carries a pointer. A host without a
// client size takes no picture: it waits in its slot for the next window.
// One picture costs three messages: 1025, 1029 and 1028.
#include "platform/Window.h"

class CViewer;

// What the dispatcher needs to know about the host's window.
struct ViewerHostWindow {
  platform::WindowHandle window = nullptr; // where 1029 is posted and what is invalidated
  int clientWidth = 0;                     // the window size a picture is rendered for
  int clientHeight = 0;
  bool eraseOnFrame = false; // the control repaints with background erase, the plug-in without
};

// Handles messages 1025 to 1029; returns false (and does nothing) for any other message.
bool dispatchViewerMessage(CViewer& viewer, const platform::WindowMessage& message, const ViewerHostWindow& host);
