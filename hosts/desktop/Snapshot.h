#pragma once
// Headless mode: runs the viewers without a window and writes what the window would show.
#include "hosts/desktop/ViewerCommandLine.h"

#include <string>

namespace desktop {

enum class SnapshotResult {
  Pictures, // every viewer showed the requested number of decoded pictures
  TimedOut, // the timeout came first: the file shows what was on screen then
  Failed,   // the file could not be written
};

SnapshotResult runSnapshot(const Options& options, std::string& message);

} // namespace desktop
