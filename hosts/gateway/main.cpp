// camview-gateway: serves the camera page and relays the named recorders to browsers.
#include "hosts/gateway/Gateway.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  gateway::GatewayOptions options;
  std::string error;
  if (!gateway::parseGatewayArguments(arguments, options, error)) {
    std::cerr << "camview-gateway: " << error << "\n" << gateway::usageText();
    return 2;
  }
  if (options.help) {
    std::cout << gateway::usageText();
    return 0;
  }

  // SIGINT and SIGTERM end the program; they are taken by sigwait below, on this thread only.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  gateway::Gateway gateway(options, std::cerr);
  if (!gateway.start(error)) {
    std::cerr << "camview-gateway: " << error << "\n";
    return 1;
  }
  std::cout << "listening on " << options.listenHost << ":" << gateway.port() << std::endl;
  for (const gateway::RecorderAddress& recorder : options.recorders)
    std::cout << "  http://" << options.listenHost << ":" << gateway.port() << "/?recorder=" << recorder.name
              << "&id=0   (" << recorder.host << ":" << recorder.port << ")" << std::endl;

  int signal = 0;
  sigwait(&stopSignals, &signal);
  gateway.stop();
  const auto& counters = gateway.counters();
  if (!options.quiet)
    std::cerr << "camview-gateway: stopped; " << counters.picturesSent.load() << " pictures sent, "
              << counters.refused.load() << " connections refused" << std::endl;
  return 0;
}
