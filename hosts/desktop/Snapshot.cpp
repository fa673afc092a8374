#include "hosts/desktop/Snapshot.h"

#include "hosts/desktop/ViewerGrid.h"
#include "platform/Time.h"
#include "platform/paint/PngFile.h"

namespace desktop {

SnapshotResult runSnapshot(const Options& options, std::string& message) {
  ViewerGrid grid(options);
  grid.start(); // a viewer that cannot start shows its status screen, which is the picture
  const std::uint32_t begin = platform::tickCount();
  const auto limitMs = static_cast<std::uint32_t>(options.timeoutSeconds * 1000.0);
  bool reached = false;
  for (;;) {
    grid.pump(100); // wakes at every message; the bound is for the time limit
    if (grid.fewestPicturesShown() >= options.frames) {
      reached = true;
      break;
    }
    if (platform::tickCount() - begin >= limitMs) break;
  }
  grid.paint(true);
  if (!paint::writePng(options.snapshot, grid.canvas())) {
    message = "cannot write " + options.snapshot;
    return SnapshotResult::Failed;
  }
  message = options.snapshot;
  return reached ? SnapshotResult::Pictures : SnapshotResult::TimedOut;
}

} // namespace desktop
