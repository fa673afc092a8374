#pragma once
// The gateway's settings file (--config FILE): the long command-line options without their
// "--", one a line, in the INI/TOML form CLI11 reads and operators write by hand:
//
//   recorder = ["gate=192.0.2.10:7070", "yard=192.0.2.11:7070"]
//   public-name = "cams.example"
//   max-cameras = 16
//   quiet = true            # flags: true or false
//
// A setting written on several lines has all their values. The text is the operator's, read
// from disk: it is bounded (kMaxConfigFileBytes) and every line is checked.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace gateway {

constexpr std::size_t kMaxConfigFileBytes = 64 * 1024;

struct ConfigSetting {
  std::string name;                // the option's long name, without "--"
  std::vector<std::string> values; // in the order written
};

// Reads the file's settings, each name once, in the order first written. False with a reason.
bool readConfigFile(const std::string& path, std::vector<ConfigSetting>& settings, std::string& error);
// The same, for text already read.
bool parseConfigText(std::string_view text, std::vector<ConfigSetting>& settings, std::string& error);

} // namespace gateway
