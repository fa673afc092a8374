#include "tools/cli/OptionValues.h"

#include <algorithm>
#include <charconv>

namespace camview::cli {

std::optional<long long> parseInteger(std::string_view text, long long low, long long high) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<HostPort> parseHostPort(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::optional<long long> port = parseInteger(text.substr(colon + 1), 0, 65535);
  if (!port) return std::nullopt;
  return HostPort{std::string(text.substr(0, colon)), static_cast<int>(*port)};
}

std::optional<std::pair<int, int>> parseSize(std::string_view text, int low, int high) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const std::optional<long long> width = parseInteger(text.substr(0, x), low, high);
  const std::optional<long long> height = parseInteger(text.substr(x + 1), low, high);
  if (!width || !height) return std::nullopt;
  return std::pair<int, int>{static_cast<int>(*width), static_cast<int>(*height)};
}

Parser::Parser(std::string program, bool& help) : app_(std::string(), std::move(program)) {
  // The programs print their own help texts; --help only sets the flag.
  app_.set_help_flag();
  app_.add_flag("-h,--help", help);
}

CLI::Option* Parser::value(const std::string& name, std::function<void(const std::string&)> take) {
  // Each use is taken as it is met, so options that depend on each other's order (a camera's
  // address before its port, fault rules) keep it.
  CLI::Option* option = app_.add_option_function<std::string>(name, std::move(take));
  option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->trigger_on_parse();
  return option;
}

CLI::Option* Parser::flag(const std::string& name, bool& target) { return app_.add_flag(name, target); }

long long Parser::checkedInteger(const std::string& name, const std::string& text, long long low, long long high) {
  if (const std::optional<long long> value = parseInteger(text, low, high)) return *value;
  throw CLI::ValidationError(name + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
                             ", not '" + text + "'");
}

bool Parser::parse(const std::vector<std::string>& arguments, std::string& error) {
  // Values are separate arguments: "--name=value" is no option, as on every program here.
  for (const std::string& argument : arguments) {
    if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
      error = "unknown option " + argument;
      return false;
    }
  }
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend()); // CLI11 takes them last first
  try {
    app_.parse(reversed);
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
    return false;
  }
  return true;
}

} // namespace camview::cli
