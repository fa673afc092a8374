#include "hosts/gateway/AccessToken.h"

#include "hosts/gateway/GatewayOptions.h"
#include "hosts/gateway/SmallFile.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <array>
#include <charconv>

namespace gateway {

namespace {

constexpr std::size_t kMacBytes = 32;
constexpr std::size_t kMacTextLength = 43; // base64url of 32 bytes, unpadded
constexpr std::size_t kMaxSecretFileBytes = 64 * 1024;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

using Mac = std::array<unsigned char, kMacBytes>;

bool computeMac(std::string_view secret, std::string_view text, Mac& mac) {
  unsigned int length = 0;
  const unsigned char* done =
      HMAC(EVP_sha256(), secret.data(), int(secret.size()), reinterpret_cast<const unsigned char*>(text.data()),
           text.size(), mac.data(), &length);
  return done != nullptr && length == kMacBytes;
}

std::string encodeMac(const Mac& mac) {
  std::string out;
  std::uint32_t bits = 0;
  int held = 0;
  for (unsigned char byte : mac) {
    bits = (bits << 8) | byte;
    held += 8;
    while (held >= 6) {
      held -= 6;
      out.push_back(kAlphabet[(bits >> held) & 63]);
    }
  }
  if (held > 0) out.push_back(kAlphabet[(bits << (6 - held)) & 63]);
  return out;
}

int alphabetValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

bool decodeMac(std::string_view text, Mac& mac) {
  if (text.size() != kMacTextLength) return false;
  std::uint32_t bits = 0;
  int held = 0;
  std::size_t at = 0;
  for (char c : text) {
    const int value = alphabetValue(c);
    if (value < 0) return false;
    bits = (bits << 6) | std::uint32_t(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      if (at < kMacBytes) mac[at++] = std::uint8_t(bits >> held);
    }
  }
  // The two bits left over must be zero: one token, one spelling.
  return at == kMacBytes && (bits & ((1u << held) - 1)) == 0;
}

std::string idsText(const std::vector<std::int32_t>& ids) {
  std::string out;
  for (std::int32_t id : ids) {
    if (!out.empty()) out.push_back(',');
    out += std::to_string(id);
  }
  return out;
}

} // namespace

bool AccessGrant::allows(std::string_view name, std::int32_t id) const {
  if (name != recorder) return false;
  for (std::int32_t allowed : ids)
    if (allowed == id) return true;
  return false;
}

const char* tokenCheckText(TokenCheck check) {
  switch (check) {
  case TokenCheck::Valid:
    return "the link is valid";
  case TokenCheck::Missing:
    return "a signed link is needed to watch cameras here";
  case TokenCheck::Malformed:
    return "the link's token is malformed";
  case TokenCheck::Forged:
    return "the link's signature is not valid here";
  case TokenCheck::Expired:
    return "the link has expired";
  }
  return "";
}

std::string signToken(const AccessGrant& grant, std::string_view secret) {
  const std::string text = grant.recorder + "." + idsText(grant.ids) + "." + std::to_string(grant.expires);
  Mac mac{};
  if (!computeMac(secret, text, mac)) return {};
  return text + "." + encodeMac(mac);
}

TokenCheck verifyToken(std::string_view token, const std::vector<std::string>& secrets, std::int64_t now,
                       AccessGrant& grant) {
  if (token.empty()) return TokenCheck::Missing;
  if (token.size() > kMaxTokenLength) return TokenCheck::Malformed;
  // RECORDER.IDS.EXPIRY.MAC: exactly three dots (names and ids carry none).
  std::size_t dots[3];
  std::size_t found = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    if (token[i] != '.') continue;
    if (found == 3) return TokenCheck::Malformed;
    dots[found++] = i;
  }
  if (found != 3) return TokenCheck::Malformed;
  const std::string recorder(token.substr(0, dots[0]));
  const std::string_view ids = token.substr(dots[0] + 1, dots[1] - dots[0] - 1);
  const std::string_view expiry = token.substr(dots[1] + 1, dots[2] - dots[1] - 1);
  const std::string_view signedPart = token.substr(0, dots[2]);
  AccessGrant parsed;
  parsed.recorder = recorder;
  std::int64_t expires = 0;
  const auto [end, ec] = std::from_chars(expiry.data(), expiry.data() + expiry.size(), expires);
  Mac mac{};
  if (!validRecorderName(recorder) || !parseIdList(ids, kMaxTokenIds, parsed.ids) || expiry.empty() ||
      ec != std::errc() || end != expiry.data() + expiry.size() || expires < 0 ||
      !decodeMac(token.substr(dots[2] + 1), mac))
    return TokenCheck::Malformed;
  parsed.expires = expires;
  bool authentic = false;
  for (const std::string& secret : secrets) {
    Mac expected{};
    // Constant time: how much of a forged MAC matches tells an attacker nothing.
    if (computeMac(secret, signedPart, expected) && CRYPTO_memcmp(expected.data(), mac.data(), kMacBytes) == 0)
      authentic = true;
  }
  if (!authentic) return TokenCheck::Forged;
  if (expires <= now) return TokenCheck::Expired;
  grant = std::move(parsed);
  return TokenCheck::Valid;
}

bool loadSecrets(const std::string& path, std::vector<std::string>& secrets, std::string& error) {
  std::string content;
  if (!readSmallFile(path, kMaxSecretFileBytes, "secret", content, error)) return false;
  std::vector<std::string> read;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.size() < kMinSecretBytes) {
      error = "a secret in " + path + " is shorter than " + std::to_string(kMinSecretBytes) + " bytes";
      return false;
    }
    read.push_back(std::move(line));
  }
  if (read.empty()) {
    error = "the secret file " + path + " holds no secret";
    return false;
  }
  secrets = std::move(read);
  return true;
}

} // namespace gateway
