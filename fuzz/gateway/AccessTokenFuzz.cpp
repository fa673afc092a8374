// Tokens of signed links as anyone may send them in a page or WebSocket request: the reader
// either refuses them with a reason or accepts only what was signed with the gateway's secret.
// A token accepted must sign back to itself, so no second spelling of a grant is let through.
#include "hosts/gateway/AccessToken.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> secrets = {"fuzz-secret-0123456789abcdef"};
  const std::string_view token(reinterpret_cast<const char*>(data), size);
  gateway::AccessGrant grant;
  const gateway::TokenCheck check = gateway::verifyToken(token, secrets, 1000, grant);
  if (*gateway::tokenCheckText(check) == '\0') std::abort();
  if (check != gateway::TokenCheck::Valid) return 0;
  if (grant.expires <= 1000 || grant.ids.empty() || grant.ids.size() > gateway::kMaxTokenIds) std::abort();
  if (gateway::signToken(grant, secrets[0]) != token) std::abort();
  return 0;
}
