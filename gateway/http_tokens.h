// The HTTP listener's tokens: each has a name and a random secret of 256 bits
// that is shown once and never stored; gateway.conf keeps its SHA-256 only
// ("http-token = NAME:sha256:HEX"). A request carries the secret as
// "Authorization: Bearer TOKEN" or as basic auth (user NAME, password TOKEN);
// the check hashes it and compares in constant time.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel::gateway {

class TokenSet {
 public:
  // The gateway.conf values; `error` names the first bad one.
  static TokenSet Parse(const std::vector<std::string>& lines, std::string& error);

  bool Empty() const { return tokens_.empty(); }
  // The name of the token an Authorization header carries, or nullopt.
  std::optional<std::string> Check(std::string_view authorization) const;
  // True when `secret` is the token named `name` (a sender that names itself,
  // as a WCTP sender does).
  bool CheckPair(std::string_view name, std::string_view secret) const;

 private:
  struct Token {
    std::string name;
    std::array<unsigned char, 32> hash{};
  };
  std::optional<std::string> CheckSecret(std::string_view secret) const;
  std::vector<Token> tokens_;
};

// A new random token (43 characters of base64url).
std::string NewToken();
// Its gateway.conf value: "NAME:sha256:HEX".
std::string TokenValue(const std::string& name, const std::string& token);
// A name a token may have: 1 to 64 of A-Z a-z 0-9 . _ -
bool GoodTokenName(std::string_view name);

}  // namespace zentrel::gateway
