#pragma once
// The one door through which a host (plug-in, control, desktop, web) drives a viewer. Every
// function here is noexcept and reports failure by its result, so that no exception and no
// run-time error can cross a DLL entry point, a COM method or a window procedure of the
// browser: an exception there ends the browser's process.
//
// All functions run on the host's window thread; `viewer` may be null everywhere (the call
// then does nothing and fails).
#include "engine/PictureRecord.h"
#include "platform/Window.h"
#include "platform/paint/Canvas.h"
#include "platform/paint/FontResource.h"
#include "presentation/DecodeMode.h"
#include "presentation/FontIds.h"
#include "presentation/ViewerMessages.h"

class CViewer;

namespace embed {

struct ViewerSettings {
  const char* host = nullptr; // recorder address (dotted IPv4 or a name); cut to 255 characters
  int port = -1;              // only 0..65535 can connect
  int connectionId = 0;
  // The module whose "FONTS" resources carry the fonts, and their ids. Null: the module that
  // holds this code (the DLL itself, not the browser's executable).
  paint::ModuleHandle fontModule = nullptr;
  presentation::FontIds fontIds = presentation::kControlFontIds;
  int language = -1; // CLanguageTable::kGerman, kEnglish, or -1 to follow the system
  // Full: every picture as the recorder sends it, scaled to the window (the exact output the
  // plug-in and the control keep). Fit: a window at most half the picture's size gets the
  // picture decoded at the lowest resolution that still covers it, for a fraction of the work.
  presentation::DecodeMode decode = presentation::DecodeMode::Full;
};

// A new viewer with these settings, not yet started; null when there is no memory. It
// holds a counted start-up of the socket library (Windows Sockets) until destroyViewer.
CViewer* createViewer(const ViewerSettings& settings) noexcept;
// Starts the connection and the Decoder thread. False when a step failed: the viewer then
// shows the failure's status screen. Starting a running viewer changes nothing.
bool startViewer(CViewer* viewer) noexcept;
// Stops the threads of a viewer made by createViewer (promptly, whatever the network does),
// then frees it and its socket library start-up. Nothing is posted to or painted into any
// window of the viewer after this returns. Never call it from DllMain: it waits for the
// viewer's threads.
void destroyViewer(CViewer* viewer) noexcept;

// The window to paint and to be notified in, also while the viewer runs; `detachWindow`
// when the host loses it. After detachWindow returns no thread of the viewer posts into
// the old window, so the host may destroy it.
void attachWindow(CViewer* viewer, platform::WindowHandle window) noexcept;
void detachWindow(CViewer* viewer) noexcept;

// Changes how the viewer decodes (ViewerSettings::decode), also while it runs: the next
// picture decoded follows it.
void setDecodeMode(CViewer* viewer, presentation::DecodeMode mode) noexcept;

// Paints the picture or the status screen into `area` of the device.
void paint(CViewer* viewer, paint::Canvas& canvas, const paint::Rect& area) noexcept;
// Handles the viewer's messages kMsgPictureWaiting to kMsgOfferPicture; false for any other message.
bool dispatchMessage(CViewer* viewer, const platform::WindowMessage& message, const ViewerHostWindow& host) noexcept;

// What a viewer shows and has counted, as its host may tell it: a snapshot taken on the
// window thread, current until the next message the viewer handles.
struct ViewerState {
  bool showingPicture = false; // paint draws a decoded picture; else the status screen
  // The status screen's text ("" before the first start). It lives in the viewer's language
  // table: valid until the viewer is destroyed.
  const char* statusText = "";
  int picturesShown = 0; // decoded pictures made visible since the viewer was created
  // Pictures received and never shown: lost by the Receiver thread (no memory, oversized),
  // thrown away by the window side (not newer than the one shown, malformed, no memory) or
  // failed to decode.
  int picturesLost = 0;
};

// The state of `viewer`; the empty state for null.
ViewerState viewerState(const CViewer* viewer) noexcept;
// Copies the viewer's current picture (header, compressed bytes, the window size it is
// decoded for) into `into`, whose memory grows as needed. Message kMsgFrameDecoded shows this picture,
// and handling it may take the next one in: a host that keeps what went on screen copies
// before it dispatches the kMsgFrameDecoded. False for null or when `into` cannot grow.
bool copyCurrentPicture(const CViewer* viewer, PictureRecord& into) noexcept;

// Viewers created and not yet destroyed in this process, plus the name lookups that
// destroyed viewers left running (a lookup cannot be interrupted; its thread ends when the
// resolver answers). A DLL may not be unloaded while this is not 0: those threads run its
// code.
int liveViewers() noexcept;

} // namespace embed
