// Settings files as an operator (or a mistake) may write them: each is refused with a reason
// or gives settings every one of which the gateway's own checks allow.
#include "hosts/gateway/ConfigFile.h"
#include "hosts/gateway/GatewayOptions.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<gateway::ConfigSetting> settings;
  std::string error;
  if (gateway::parseConfigText(text, settings, error)) {
    std::set<std::string> names;
    for (const gateway::ConfigSetting& setting : settings)
      if (setting.name.empty() || !names.insert(setting.name).second) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  gateway::GatewayOptions options;
  error.clear();
  if (!gateway::parseGatewayArguments({"--config", "fuzz.conf"}, text, options, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (options.help || options.recorders.empty()) std::abort();
  for (const gateway::RecorderAddress& recorder : options.recorders)
    if (!gateway::validRecorderName(recorder.name) || recorder.host.empty() || recorder.port < 1 ||
        recorder.port > 65535)
      std::abort();
  if (options.maxConnections < 1 || options.maxCameras < 1 || options.lingerMs < 0) std::abort();
  return 0;
}
