// camview: the desktop viewer. One viewer per camera in an X11 window, or headless
// snapshots written as PNG files.
#include "hosts/desktop/ViewerCommandLine.h"
#include "hosts/desktop/Snapshot.h"
#include "hosts/desktop/X11Window.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  desktop::Options options;
  std::string error;
  if (!desktop::parseCommandLine(argc, argv, options, error)) {
    std::fprintf(stderr, "camview: %s\n%s", error.c_str(), desktop::usageText());
    return 2;
  }
  if (options.help) {
    std::fputs(desktop::usageText(), stdout);
    return 0;
  }
  int status = 0;
  std::string message;
  if (!options.snapshot.empty()) {
    switch (desktop::runSnapshot(options, message)) {
    case desktop::SnapshotResult::Pictures:
      std::printf("%s\n", message.c_str());
      break;
    case desktop::SnapshotResult::TimedOut:
      std::printf("%s\n", message.c_str());
      std::fprintf(stderr, "camview: timed out before %d decoded pictures; the file shows the status screen\n",
                   options.frames);
      status = 3;
      break;
    case desktop::SnapshotResult::Failed:
      std::fprintf(stderr, "camview: %s\n", message.c_str());
      status = 1;
      break;
    }
  } else if (!desktop::runWindow(options, message)) {
    std::fprintf(stderr, "camview: %s\n", message.c_str());
    status = 1;
  }
  return status;
}
