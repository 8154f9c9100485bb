// The HTTP listener's settings: where it listens ("[HOST:]PORT", "off"), its
// certificate and key for TLS, the tokens' hashes (gateway.conf lines
// "http-token = NAME:sha256:HEX", written by `zentrel-gateway token add`)
// and the bounds every request is held to. Options of the same names as the
// gateway.conf keys; checked once parsed.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "gateway/alert_payload.h"

namespace zentrel::gateway {

// Where an alert group's receiver pages: gateway.conf's
// "alert-receiver = NAME:PIN[,PIN...][:send-resolved=no]".
struct AlertReceiver {
  std::vector<std::string> pins;
  bool send_resolved = true;
};

struct HttpSettings {
  std::string listen = "127.0.0.1:8444";  // as given: "[HOST:]PORT" or "off"
  bool enabled = true;
  std::string host = "127.0.0.1";
  int port = 8444;  // 0: any free port (the log names it)
  std::string cert_path;
  std::string key_path;
  std::vector<std::string> tokens;  // "NAME:sha256:HEX"
  std::size_t max_body = 1 << 20;   // bytes
  std::size_t max_headers = 64;
  double timeout_s = 10;  // one request's whole time, and a connection's idle time
  int threads = 8;        // requests served at once
  std::vector<std::string> alert_receiver_lines;
  std::map<std::string, AlertReceiver> receivers;  // from alert_receiver_lines
  std::string alert_template = kDefaultAlertTemplate;
  bool alert_split = false;  // a long alert in several pages, else cut
  bool Tls() const { return !cert_path.empty(); }
};

void AddHttpOptions(CLI::App& app, HttpSettings& s);

// Splits `listen` into host and port, reads the receivers, and checks the
// whole: "" when fine, else the sentence for a person. Listening beyond
// loopback needs TLS and at least one token.
std::string FinishHttpSettings(HttpSettings& s);

// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackHost(const std::string& host);

}  // namespace zentrel::gateway
