#pragma once
// The window-message contract of a viewer, in one place for every host: the host's window
// procedure (or message pump) hands each message to dispatchViewerMessage.
//
//   kMsgPictureWaiting   takePicture; when taken, post kMsgOfferPicture to the own window
//   kMsgStatus           lParam == 0: showStatus(wParam); else lParam is a recorder error
//                        code (engine/StatusIndex.h): showStatusText of its text
//   kMsgStatusIndex      showStatus(wParam)
//   kMsgFrameDecoded     frameDecoded(wParam); take a picture that waited meanwhile (posting
//                        kMsgOfferPicture); invalidate the whole window
//   kMsgOfferPicture     submitPicture (a refusal is resolved by the next kMsgFrameDecoded)
//
// wParam carries the contract's value in its low 16 bits and the run number of the viewer
// start that posted it above them (engine/RunTag.h); messages of any other run, and anything
// else carrying these numbers, are ignored. No message carries a pointer. A host without a
// client size takes no picture: it waits in its slot for the next window.
// One picture costs three messages: kMsgPictureWaiting, kMsgOfferPicture and kMsgFrameDecoded.
#include "platform/Window.h"

class CViewer;

// What the dispatcher needs to know about the host's window.
struct ViewerHostWindow {
  platform::WindowHandle window = nullptr; // where kMsgOfferPicture is posted and what is invalidated
  int clientWidth = 0;                     // the window size a picture is rendered for
  int clientHeight = 0;
  bool eraseOnFrame = false; // the control repaints with background erase, the plug-in without
};

// Handles messages kMsgPictureWaiting to kMsgOfferPicture; returns false (and does nothing) for any other message.
bool dispatchViewerMessage(CViewer& viewer, const platform::WindowMessage& message, const ViewerHostWindow& host);
