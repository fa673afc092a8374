#include "hosts/plugin/EmbedAttributes.h"

#include <climits>
#include <cstring>

namespace plugin {
namespace {

bool sameNameIgnoringCase(const char* name, const char* expected) {
  for (; *name && *expected; ++name, ++expected) {
    char c = *name;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *expected) return false;
  }
  return *name == *expected;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

} // namespace

int leadingNumber(const char* text) {
  if (!text) return 0;
  while (isBlank(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break; // beyond the range: the limit is known
  }
  if (negative) return value > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

EmbedSettings readEmbedAttributes(int count, const char* const* names, const char* const* values) {
  EmbedSettings settings;
  if (count <= 0 || !names || !values) return settings;
  for (int i = 0; i < count; ++i) {
    const char* name = names[i];
    const char* value = values[i];
    if (!name || !value) continue;
    if (sameNameIgnoringCase(name, "ip")) {
      const std::size_t length = strnlen(value, EmbedSettings::kHostCapacity - 1);
      std::memcpy(settings.host, value, length);
      settings.host[length] = '\0';
    } else if (sameNameIgnoringCase(name, "port")) {
      settings.port = leadingNumber(value);
    } else if (sameNameIgnoringCase(name, "id")) {
      settings.connectionId = leadingNumber(value);
    }
  }
  return settings;
}

} // namespace plugin
