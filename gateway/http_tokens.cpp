// Tokens through OpenSSL: RAND_bytes for the secret, SHA-256 for the hash,
// CRYPTO_memcmp for the comparison, EVP_DecodeBlock for basic auth.
#include "gateway/http_tokens.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <strings.h>

#include <stdexcept>

namespace zentrel::gateway {

namespace {

using Hash = std::array<unsigned char, 32>;

Hash Sha256(std::string_view text) {
  Hash hash{};
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), hash.data());
  return hash;
}

std::string Hex(const Hash& hash) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : hash) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

std::optional<Hash> FromHex(std::string_view text) {
  Hash hash{};
  if (text.size() != 64) return std::nullopt;
  for (std::size_t i = 0; i < 64; ++i) {
    const char c = text[i];
    int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (value < 0) return std::nullopt;
    hash[i / 2] = static_cast<unsigned char>(hash[i / 2] << 4 | value);
  }
  return hash;
}

// "Scheme rest" with the scheme compared without case; the rest or nullopt.
std::optional<std::string_view> AfterScheme(std::string_view header, std::string_view scheme) {
  if (header.size() <= scheme.size() || header[scheme.size()] != ' ') return std::nullopt;
  if (strncasecmp(header.data(), scheme.data(), scheme.size()) != 0) return std::nullopt;
  header.remove_prefix(scheme.size());
  while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
  while (!header.empty() && header.back() == ' ') header.remove_suffix(1);
  return header;
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > 4096) return std::nullopt;
  std::string out(text.size() / 4 * 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  std::size_t padding = 0;
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i) ++padding;
  out.resize(static_cast<std::size_t>(n) - padding);
  return out;
}

}  // namespace

bool GoodTokenName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool good = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
    if (!good) return false;
  }
  return true;
}

TokenSet TokenSet::Parse(const std::vector<std::string>& lines, std::string& error) {
  TokenSet set;
  for (const std::string& line : lines) {
    const auto colon = line.find(':');
    const std::string name = line.substr(0, colon);
    const std::string prefix = "sha256:";
    const auto hash = colon == std::string::npos || line.compare(colon + 1, prefix.size(), prefix)
                          ? std::nullopt
                          : FromHex(std::string_view(line).substr(colon + 1 + prefix.size()));
    if (!GoodTokenName(name) || !hash) {
      error = "http-token \"" + line + "\" is not NAME:sha256:HEX (64 hex digits)";
      return {};
    }
    set.tokens_.push_back(Token{name, *hash});
  }
  return set;
}

std::optional<std::string> TokenSet::CheckSecret(std::string_view secret) const {
  const Hash hash = Sha256(secret);
  std::optional<std::string> found;
  // Every token is compared, so the time taken says nothing of which matched.
  for (const Token& token : tokens_) {
    if (CRYPTO_memcmp(hash.data(), token.hash.data(), hash.size()) == 0) found = token.name;
  }
  return found;
}

bool TokenSet::CheckPair(std::string_view name, std::string_view secret) const {
  const auto found = CheckSecret(secret);
  return found && *found == name;
}

std::optional<std::string> TokenSet::Check(std::string_view authorization) const {
  if (const auto bearer = AfterScheme(authorization, "Bearer")) return CheckSecret(*bearer);
  const auto basic = AfterScheme(authorization, "Basic");
  const auto pair = basic ? Base64Decode(*basic) : std::nullopt;
  const auto colon = pair ? pair->find(':') : std::string::npos;
  if (colon == std::string::npos) return std::nullopt;
  const std::string name = pair->substr(0, colon);
  if (!CheckPair(name, std::string_view(*pair).substr(colon + 1))) return std::nullopt;
  return name;
}

std::string NewToken() {
  unsigned char bytes[32];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes to be had");
  unsigned char encoded[48];
  const int n = EVP_EncodeBlock(encoded, bytes, sizeof bytes);
  std::string token(reinterpret_cast<char*>(encoded), static_cast<std::size_t>(n));
  for (char& c : token) c = c == '+' ? '-' : c == '/' ? '_' : c;
  while (!token.empty() && token.back() == '=') token.pop_back();
  return token;
}

std::string TokenValue(const std::string& name, const std::string& token) {
  return name + ":sha256:" + Hex(Sha256(token));
}

}  // namespace zentrel::gateway
