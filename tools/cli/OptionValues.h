// What the programs' command lines share, on top of CLI11: parsing an argument list the way
// they all do (a --help flag the program answers itself, no "--name=value" form, errors as
// one line of text), and the value kinds more than one of them takes (bounded integers,
// HOST:PORT, WxH, a choice of words).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace camview::cli {

// A whole decimal number in low..high (no sign other than '-', no spaces).
std::optional<long long> parseInteger(std::string_view text, long long low, long long high);

struct HostPort {
  std::string host;
  int port = 0;
};
// "HOST:PORT": the last colon splits, the host is not empty, the port is 0..65535.
std::optional<HostPort> parseHostPort(std::string_view text);

// "WxH" with both numbers in low..high.
std::optional<std::pair<int, int>> parseSize(std::string_view text, int low, int high);

// A program's parser: --help and -h set `help`; the value options are added by the program.
class Parser {
public:
  Parser(std::string program, bool& help);

  CLI::App& app() { return app_; }

  // An option with one value handed to `take`, in command-line order with the other options
  // added this way; `take` throws CLI::ValidationError with a message for a bad value.
  CLI::Option* value(const std::string& name, std::function<void(const std::string&)> take);
  // An integer option in low..high: "NAME takes a number from LOW to HIGH, not 'TEXT'".
  template <typename Integer>
  CLI::Option* integer(const std::string& name, Integer& target, long long low, long long high) {
    return value(name, [&target, name, low, high](const std::string& text) {
      target = static_cast<Integer>(checkedInteger(name, text, low, high));
    });
  }
  CLI::Option* text(const std::string& name, std::string& target) {
    return value(name, [&target](const std::string& text) { target = text; });
  }
  CLI::Option* flag(const std::string& name, bool& target);

  // Parses the arguments after the program name; false with a one-line message on a mistake.
  bool parse(const std::vector<std::string>& arguments, std::string& error);

  // The number in `text`, or a ValidationError in the words of `integer`.
  static long long checkedInteger(const std::string& name, const std::string& text, long long low, long long high);

private:
  CLI::App app_;
};

} // namespace camview::cli
