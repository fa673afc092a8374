#include "hosts/gateway/ConfigFile.h"

#include "hosts/gateway/SmallFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <sstream>

namespace gateway {

bool parseConfigText(std::string_view text, std::vector<ConfigSetting>& settings, std::string& error) {
  if (text.size() > kMaxConfigFileBytes) {
    error = "larger than 64 KiB";
    return false;
  }
  if (text.find('\0') != std::string_view::npos) {
    error = "not a text file";
    return false;
  }
  std::istringstream stream{std::string(text)};
  std::vector<CLI::ConfigItem> items;
  try {
    items = CLI::ConfigTOML().from_config(stream);
  } catch (const CLI::Error& failure) {
    error = failure.what();
    return false;
  }
  settings.clear();
  for (CLI::ConfigItem& item : items) {
    // Sections would name subcommands, which the gateway has none of; CLI11 marks their
    // starts and ends with items named "++" and "--".
    if (!item.parents.empty() || item.name == "++" || item.name == "--") {
      error = "sections ([NAME]) are not used: write every setting at the top level";
      return false;
    }
    if (item.name.empty() || item.name.front() == '-') {
      error = "'" + item.name + "': settings are the long options without their \"--\"";
      return false;
    }
    // CLI11 merges a name written on consecutive lines only; one written again further down
    // would otherwise be a second setting of which only the first counts.
    auto same = std::find_if(settings.begin(), settings.end(),
                             [&](const ConfigSetting& setting) { return setting.name == item.name; });
    if (same == settings.end()) same = settings.insert(settings.end(), ConfigSetting{item.name, {}});
    same->values.insert(same->values.end(), item.inputs.begin(), item.inputs.end());
  }
  return true;
}

bool readConfigFile(const std::string& path, std::vector<ConfigSetting>& settings, std::string& error) {
  std::string text;
  if (!readSmallFile(path, kMaxConfigFileBytes, "config", text, error)) return false;
  if (!parseConfigText(text, settings, error)) {
    error = "config file " + path + ": " + error;
    return false;
  }
  return true;
}

} // namespace gateway
