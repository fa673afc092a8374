// camview-recorder: a recorder simulator that serves the recorder protocol to viewers.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "recorder/app/RecorderCommandLine.h"
#include "recorder/server/RecorderServer.h"
#include "recorder/sources/ImageListSource.h"
#include "recorder/sources/PngImage.h"

namespace {

std::atomic<int> stopSignal{0};

extern "C" void onStopSignal(int signalNumber) { stopSignal.store(signalNumber); }

} // namespace

int main(int argc, char** argv) {
  using namespace recorder;
  RecorderCommandLine commandLine;
  std::string error;
  if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
    std::cerr << "camview-recorder: " << error << '\n';
    return 2;
  }
  if (commandLine.help) {
    std::cout << helpText();
    return 0;
  }

  ServerOptions& options = commandLine.server;
  if (!commandLine.images.empty()) {
    std::vector<ImageListSource::Still> stills;
    for (const std::string& path : commandLine.images) {
      ImageListSource::Still still;
      if (!loadPng(path, still.image, error)) {
        std::cerr << "camview-recorder: " << error << '\n';
        return 2;
      }
      const auto slash = path.find_last_of("/\\");
      still.name = slash == std::string::npos ? path : path.substr(slash + 1);
      stills.push_back(std::move(still));
    }
    options.stills = std::make_shared<ImageListSource>(
        std::move(stills), kPictureWidth, pictureHeight(options.encoding.standard576), commandLine.picturesPerStill);
  }

  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);

  RecorderServer server(options, std::cerr);
  if (!server.start(error)) {
    std::cerr << "camview-recorder: " << error << '\n';
    return 1;
  }
  std::cout << "listening on " << server.host() << ':' << server.port() << std::endl;

  while (stopSignal.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));

  server.stop();
  if (!options.quiet)
    std::cerr << "camview-recorder: stopped (signal " << stopSignal.load() << "), " << server.connectionsAccepted()
              << " connections, " << server.picturesSent() << " pictures sent\n";
  return 0;
}
