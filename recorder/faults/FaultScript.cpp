#include "recorder/faults/FaultScript.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace recorder {
namespace {

struct ActionName {
  FaultAction action;
  const char* name;
  int minArguments;
  int maxArguments;
};
constexpr ActionName kActions[] = {
    {FaultAction::Close, "close", 0, 0},     {FaultAction::End, "end", 0, 0},
    {FaultAction::Error, "error", 1, 1},     {FaultAction::Reply, "reply", 1, 2},
    {FaultAction::Garbage, "garbage", 0, 1}, {FaultAction::BadTag, "badtag", 0, 0},
    {FaultAction::BadItem, "baditem", 0, 0}, {FaultAction::Half, "half", 0, 0},
    {FaultAction::Stall, "stall", 1, 1},     {FaultAction::Corrupt, "corrupt", 0, 0},
    {FaultAction::Refuse, "refuse", 1, 1},
};

constexpr std::int64_t kMaxGarbage = 1 << 20;
constexpr std::int64_t kMaxMilliseconds = 24LL * 3600 * 1000;

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t position = 0;
  while (position < text.size()) {
    const auto start = text.find_first_not_of(" \t\r\n", position);
    if (start == std::string_view::npos) break;
    auto end = text.find_first_of(" \t\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    result.push_back(text.substr(start, end - start));
    position = end;
  }
  return result;
}

bool toInteger(std::string_view word, std::int64_t& value) {
  const char* first = word.data();
  const char* last = word.data() + word.size();
  const auto [end, problem] = std::from_chars(first, last, value);
  return problem == std::errc() && end == last;
}

} // namespace

std::string FaultRule::text() const {
  std::string out;
  if (onlyId) out += "id " + std::to_string(*onlyId) + " ";
  switch (when) {
  case FaultWhen::Open:
    out += "open";
    break;
  case FaultWhen::At:
    out += "at " + std::to_string(count);
    break;
  case FaultWhen::Every:
    out += "every " + std::to_string(count);
    break;
  }
  for (const ActionName& entry : kActions)
    if (entry.action == action) out += std::string(" ") + entry.name;
  switch (action) {
  case FaultAction::Error:
  case FaultAction::Garbage:
  case FaultAction::Stall:
  case FaultAction::Refuse:
    out += " " + std::to_string(argument);
    break;
  case FaultAction::Reply:
    out += " " + std::to_string(argument) + " " + std::to_string(argument2);
    break;
  default:
    break;
  }
  return out;
}

bool parseFaultRule(std::string_view text, FaultRule& rule, std::string& error) {
  const auto parts = words(text);
  FaultRule result;
  std::size_t i = 0;
  auto fail = [&](const std::string& reason) {
    error = "rule '" + std::string(text) + "': " + reason;
    return false;
  };
  auto number = [&](std::size_t index, std::int64_t& value) {
    return index < parts.size() && toInteger(parts[index], value);
  };

  if (i < parts.size() && parts[i] == "id") {
    std::int64_t id = 0;
    if (!number(i + 1, id) || id < INT32_MIN || id > INT32_MAX) return fail("'id' needs a connection id");
    result.onlyId = static_cast<std::int32_t>(id);
    i += 2;
  }
  if (i >= parts.size()) return fail("expected 'open', 'at N' or 'every N'");
  if (parts[i] == "open") {
    result.when = FaultWhen::Open;
    i += 1;
  } else if (parts[i] == "at" || parts[i] == "every") {
    result.when = parts[i] == "at" ? FaultWhen::At : FaultWhen::Every;
    std::int64_t count = 0;
    if (!number(i + 1, count) || count < 0 || (result.when == FaultWhen::Every && count == 0))
      return fail(std::string("'") + std::string(parts[i]) + "' needs a picture count" +
                  (result.when == FaultWhen::Every ? " of at least 1" : ""));
    result.count = static_cast<std::uint64_t>(count);
    i += 2;
  } else {
    return fail("expected 'open', 'at N' or 'every N', not '" + std::string(parts[i]) + "'");
  }
  if (i >= parts.size()) return fail("missing action");
  const ActionName* action = nullptr;
  for (const ActionName& entry : kActions)
    if (parts[i] == entry.name) action = &entry;
  if (!action) return fail("unknown action '" + std::string(parts[i]) + "'");
  result.action = action->action;
  const int arguments = static_cast<int>(parts.size() - i - 1);
  if (arguments < action->minArguments || arguments > action->maxArguments)
    return fail(std::string("'") + action->name + "' takes " + std::to_string(action->minArguments) +
                (action->maxArguments != action->minArguments ? " to " + std::to_string(action->maxArguments) : "") +
                " argument(s)");
  std::int64_t values[2] = {0, 0};
  for (int k = 0; k < arguments; ++k)
    if (!number(i + 1 + static_cast<std::size_t>(k), values[k]))
      return fail("'" + std::string(parts[i + 1 + static_cast<std::size_t>(k)]) + "' is not a number");
  result.argument = values[0];
  result.argument2 = values[1];
  switch (result.action) {
  case FaultAction::Garbage:
    if (arguments == 0) result.argument = 64;
    if (result.argument < 1 || result.argument > kMaxGarbage)
      return fail("garbage size must be 1.." + std::to_string(kMaxGarbage));
    break;
  case FaultAction::Stall:
  case FaultAction::Refuse:
    if (result.argument < 0 || result.argument > kMaxMilliseconds)
      return fail("milliseconds must be 0.." + std::to_string(kMaxMilliseconds));
    break;
  case FaultAction::Error:
  case FaultAction::Reply:
    if (result.argument < INT32_MIN || result.argument > INT32_MAX || result.argument2 < INT32_MIN ||
        result.argument2 > INT32_MAX)
      return fail("codes are 32-bit numbers");
    break;
  default:
    break;
  }
  rule = result;
  return true;
}

bool FaultScript::parse(std::string_view text, std::string& error) {
  std::vector<FaultRule> parsed;
  std::size_t position = 0;
  while (position <= text.size()) {
    // One line: the comment goes first (it may hold ';'), then the rules it separates.
    std::size_t lineEnd = text.find('\n', position);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    std::string_view line = text.substr(position, lineEnd - position);
    position = lineEnd + 1;
    if (const auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t end = line.find(';', start);
      if (end == std::string_view::npos) end = line.size();
      const std::string_view piece = line.substr(start, end - start);
      start = end + 1;
      if (words(piece).empty()) continue;
      FaultRule rule;
      if (!parseFaultRule(piece, rule, error)) return false;
      parsed.push_back(rule);
    }
  }
  rules_.insert(rules_.end(), parsed.begin(), parsed.end());
  return true;
}

bool FaultScript::parseFile(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open fault script " + path;
    return false;
  }
  std::stringstream content;
  content << file.rdbuf();
  if (!parse(content.str(), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

std::vector<FaultRule> FaultScript::atOpen(std::int32_t connectionId) const {
  std::vector<FaultRule> result;
  for (const FaultRule& rule : rules_)
    if (rule.when == FaultWhen::Open && (!rule.onlyId || *rule.onlyId == connectionId)) result.push_back(rule);
  return result;
}

std::vector<FaultRule> FaultScript::beforePicture(std::int32_t connectionId, std::uint64_t picturesSent) const {
  std::vector<FaultRule> result;
  for (const FaultRule& rule : rules_) {
    if (rule.onlyId && *rule.onlyId != connectionId) continue;
    const bool fires = (rule.when == FaultWhen::At && rule.count == picturesSent) ||
                       (rule.when == FaultWhen::Every && picturesSent > 0 && picturesSent % rule.count == 0);
    if (fires) result.push_back(rule);
  }
  return result;
}

} // namespace recorder
