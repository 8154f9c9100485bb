// A conversation with zentrel-gateway over its local socket: one JSON request
// per line, one JSON reply line per request (a watch gets several). Used by
// zentrel-queue and zentrel-send --gateway. Every failure to reach the daemon
// or to understand it is a GatewayError whose sentence names the socket and
// the cause; a refusal by the daemon is a reply, not an error.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zentrel {

struct GatewayError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// $XDG_RUNTIME_DIR/zentrel/gateway.sock, or the service's
// /run/zentrel/gateway.sock when there is no XDG_RUNTIME_DIR.
std::string DefaultGatewaySocket();

// One reply: ok, or refused with the daemon's code ("no-such-page",
// "unknown-pin", ...) and its sentence for a person.
struct GatewayReply {
  bool ok = false;
  std::string code;
  std::string error;
  nlohmann::json body;  // the whole reply object
};

// Reads one reply line; throws GatewayError for anything that is not a JSON
// object with a boolean "ok".
GatewayReply ParseReply(std::string_view line);

inline constexpr std::chrono::milliseconds kGatewayReplyLimit{30000};
inline constexpr std::size_t kGatewayReplyMaxBytes = 64u << 20;

class GatewayClient {
 public:
  // Connects; throws GatewayError when the socket cannot be reached.
  explicit GatewayClient(std::string socket_path,
                         std::chrono::milliseconds reply_limit = kGatewayReplyLimit);
  ~GatewayClient();
  GatewayClient(const GatewayClient&) = delete;
  GatewayClient& operator=(const GatewayClient&) = delete;

  // Sends the request and returns the reply to it.
  GatewayReply Ask(const nlohmann::json& request);
  // Sends a request without awaiting its reply (for watch).
  void Send(const nlohmann::json& request);
  // The next reply line; `limit` nullopt waits as long as the daemon lives.
  GatewayReply Next(std::optional<std::chrono::milliseconds> limit);
  const std::string& path() const { return path_; }

 private:
  std::string ReadLine(std::optional<std::chrono::milliseconds> limit);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  std::chrono::milliseconds reply_limit_;
  int fd_ = -1;
  std::string pending_;  // bytes read past the last reply line
};

}  // namespace zentrel
