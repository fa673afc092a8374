// The recorder simulator as a process of its own for the plug-in's tests: the browser's
// process then holds no socket library reference of its own, so a plug-in that cleaned the
// sockets up too often would show. Same options as camview-recorder (no image files);
// prints "listening on HOST:PORT" and stops when its standard input ends.
#include "recorder/app/CommandLine.h"
#include "recorder/server/RecorderServer.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
  recorder::CommandLine commandLine;
  std::string error;
  if (!recorder::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error) ||
      !commandLine.images.empty()) {
    std::cerr << "plugin_test_recorder: " << (error.empty() ? "no image files here" : error) << '\n';
    return 2;
  }
  recorder::RecorderServer server(commandLine.server, std::cerr);
  if (!server.start(error)) {
    std::cerr << "plugin_test_recorder: " << error << '\n';
    return 1;
  }
  std::cout << "listening on " << server.host() << ':' << server.port() << std::endl;
  while (std::fgetc(stdin) != EOF) {}
  server.stop();
  return 0;
}
