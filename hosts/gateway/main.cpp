// camview-gateway: serves the camera page and relays the named recorders to browsers.
#include "hosts/gateway/AccessToken.h"
#include "hosts/gateway/Gateway.h"

#include <csignal>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

namespace {

// `camview-gateway sign ...`: prints the camera page's path with a signed link.
int sign(const std::vector<std::string>& arguments) {
  gateway::SignOptions options;
  std::string error;
  if (!gateway::parseSignArguments(arguments, options, error)) {
    std::cerr << "camview-gateway sign: " << error << "\n" << gateway::signUsageText();
    return 2;
  }
  if (options.help) {
    std::cout << gateway::signUsageText();
    return 0;
  }
  std::vector<std::string> secrets;
  if (!gateway::loadSecrets(options.secretFile, secrets, error)) {
    std::cerr << "camview-gateway sign: " << error << "\n";
    return 1;
  }
  gateway::AccessGrant grant{options.recorder, options.ids, std::int64_t(std::time(nullptr)) + options.ttlSeconds};
  const std::string token = gateway::signToken(grant, secrets.front());
  if (token.empty()) {
    std::cerr << "camview-gateway sign: the link could not be signed\n";
    return 1;
  }
  std::string ids;
  for (std::int32_t id : options.ids) ids += (ids.empty() ? "" : ",") + std::to_string(id);
  std::cout << "/?recorder=" << options.recorder << "&id=" << ids << "&token=" << token << std::endl;
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (!arguments.empty() && arguments.front() == "sign")
    return sign(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
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
  // SIGHUP reads the same command line, and the config file it names, again.
  gateway.reloadOnHangup([arguments](gateway::GatewayOptions& fresh, std::string& error) {
    return gateway::parseGatewayArguments(arguments, fresh, error);
  });
  if (!gateway.start(error)) {
    std::cerr << "camview-gateway: " << error << "\n";
    return 1;
  }
  std::cout << "listening on " << options.listenHost << ":" << gateway.port() << std::endl;
  if (!gateway.options().secrets.empty())
    std::cout << "  pages need signed links: camview-gateway sign --help" << std::endl;
  else
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
