#pragma once
// The desktop viewer's window on an X server: shows the grid's canvas, repaints on expose
// and after every frame, follows resizes and closes on the window manager's close button,
// Escape or q.
#include "hosts/desktop/ViewerCommandLine.h"

#include <string>

namespace desktop {

// Runs the window until it is closed. False with a message when there is no X display.
bool runWindow(const Options& options, std::string& message);

} // namespace desktop
