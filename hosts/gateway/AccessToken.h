#pragma once
// Signed, expiring links: who may watch which cameras. An operator signs a link with
// `camview-gateway sign`; the page carries its token and passes it on to each WebSocket. A
// token names one recorder, the connection ids it allows and when it expires, and carries an
// HMAC-SHA256 of those over a secret only the gateway (and whoever signs) knows:
//
//   RECORDER.ID[,ID ...].EXPIRY.MAC      e.g.  gate.1,2.1765300000.<43 characters>
//
// EXPIRY is in seconds since 1970 (UTC); MAC is base64url without padding. Tokens come from
// outside: parsing is bounded, the MAC is compared in constant time, and a token is checked
// against every secret the gateway holds (rotation: a new first secret signs, the old one
// still verifies until it is removed).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gateway {

constexpr std::size_t kMaxTokenLength = 400;
constexpr std::size_t kMaxTokenIds = 16;
constexpr std::size_t kMinSecretBytes = 16;

struct AccessGrant {
  std::string recorder;
  std::vector<std::int32_t> ids;
  std::int64_t expires = 0; // seconds since 1970

  bool allows(std::string_view name, std::int32_t id) const;
};

enum class TokenCheck { Valid, Missing, Malformed, Forged, Expired };
// A plain reason for the browser and the operator ("the link has expired").
const char* tokenCheckText(TokenCheck check);

// The token of a grant, signed with `secret`.
std::string signToken(const AccessGrant& grant, std::string_view secret);
// Reads and checks a token: its form, its MAC against each secret, then its expiry. `grant`
// is filled only for a valid token.
TokenCheck verifyToken(std::string_view token, const std::vector<std::string>& secrets, std::int64_t now,
                       AccessGrant& grant);

// Reads a secret file: one secret a line, at least kMinSecretBytes each, blank lines and
// lines starting with '#' skipped. False with a reason that never quotes the file's content.
bool loadSecrets(const std::string& path, std::vector<std::string>& secrets, std::string& error);

} // namespace gateway
