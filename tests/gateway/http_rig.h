// The HTTP side of the gateway's test rig: the real daemon started with its
// listener on a free loopback port (read from its log) and one token, and
// httplib clients for it, with or without the token.
#pragma once

#include <httplib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/gateway/gateway_rig.h"

namespace zentrel::gateway::testing {

class HttpRig : public GatewayRig {
 public:
  static constexpr const char* kTokenName = "ci";
  static constexpr const char* kToken = "test-token-0123456789abcdefghijklmnopqrstuv";

  // Starts the daemon with --http 127.0.0.1:0, the token (unless
  // `with_token` is false) and `extra`.
  void StartHttp(const std::vector<std::string>& extra = {}, bool with_token = true);
  int port() const { return port_; }
  // A client for the listener (HTTPS trusting `ca` when given).
  std::unique_ptr<httplib::Client> Client(const std::string& ca = "") const;
  static httplib::Headers Auth() { return {{"Authorization", std::string("Bearer ") + kToken}}; }

 private:
  int port_ = 0;
  bool tls_ = false;
};

// Each sample of a /metrics body as "name{label=value,...}" -> value, read
// by the Prometheus client library's own text-format parser (python3) from
// a file in `rig`'s folder.
std::map<std::string, double> ParsedMetrics(const GatewayRig& rig, const std::string& text);

// A self-signed certificate for localhost and 127.0.0.1 in `cert`, its key
// in `key`, made by the openssl command.
void MakeCertificate(const std::string& cert, const std::string& key);

}  // namespace zentrel::gateway::testing
