// The HTTP options through CLI11, as settings.cpp adds the others, and the
// address's parse: "8444", "0.0.0.0:8444", "[::1]:8444".
#include "gateway/http_settings.h"

#include <arpa/inet.h>

#include <charconv>

#include "gateway/http_tokens.h"

namespace zentrel::gateway {

namespace {

bool ParsePort(const std::string& text, int& port) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port >= 0 && port <= 65535;
}

// "" when `listen` is a good [HOST:]PORT; host and port set.
std::string ParseListen(HttpSettings& s) {
  const std::string bad =
      "--http takes [HOST:]PORT (like 127.0.0.1:8444) or off, not \"" + s.listen + "\"";
  std::string port = s.listen;
  if (const auto colon = s.listen.rfind(':'); colon != std::string::npos) {
    s.host = s.listen.substr(0, colon);
    port = s.listen.substr(colon + 1);
    if (s.host.size() > 2 && s.host.front() == '[' && s.host.back() == ']') {
      s.host = s.host.substr(1, s.host.size() - 2);
    } else if (s.host.find(':') != std::string::npos) {
      return bad;
    }
    if (s.host.empty()) return bad;
  }
  return ParsePort(port, s.port) ? "" : bad;
}

// "NAME:PIN[,PIN...][:send-resolved=yes|no]"; "" when good.
std::string ParseReceiver(const std::string& line, HttpSettings& s) {
  std::string rest = line;
  AlertReceiver receiver;
  for (const auto& [suffix, value] :
       {std::pair{":send-resolved=no", false}, std::pair{":send-resolved=yes", true}}) {
    const std::string tail = suffix;
    if (rest.size() > tail.size() &&
        rest.compare(rest.size() - tail.size(), tail.size(), tail) == 0) {
      rest.resize(rest.size() - tail.size());
      receiver.send_resolved = value;
    }
  }
  const auto colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    return "alert-receiver \"" + line + "\" is not NAME:PIN[,PIN...][:send-resolved=no]";
  }
  std::string pins = rest.substr(colon + 1) + ",";
  for (std::size_t start = 0, comma; (comma = pins.find(',', start)) != std::string::npos;
       start = comma + 1) {
    if (comma > start) receiver.pins.push_back(pins.substr(start, comma - start));
  }
  if (receiver.pins.empty()) return "alert-receiver \"" + line + "\" names no PIN";
  s.receivers[rest.substr(0, colon)] = receiver;
  return "";
}

}  // namespace

void AddHttpOptions(CLI::App& app, HttpSettings& s) {
  app.add_option("--http", s.listen, "the HTTP listener's [HOST:]PORT, or off")
      ->capture_default_str();
  app.add_option("--http-cert", s.cert_path, "the HTTP listener's certificate (PEM): HTTPS");
  app.add_option("--http-key", s.key_path, "the certificate's private key (PEM)");
  app.add_option("--http-token", s.tokens,
                 "a token's name and hash, NAME:sha256:HEX (written by `token add`)");
  app.add_option("--http-max-body", s.max_body, "bytes an HTTP request's body may have")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{64} << 20));
  app.add_option("--http-max-headers", s.max_headers, "header lines an HTTP request may have")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1000}));
  app.add_option("--http-timeout", s.timeout_s,
                 "seconds an HTTP request may take to arrive, and a connection may idle")
      ->capture_default_str()
      ->check(CLI::Range(0.01, 3600.0));
  app.add_option("--http-threads", s.threads, "HTTP requests served at once")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--alert-receiver", s.alert_receiver_lines,
                 "an alert receiver's PINs, NAME:PIN[,PIN...][:send-resolved=no]");
  app.add_option("--alert-template", s.alert_template, "an alert page's text, {name} for values")
      ->capture_default_str();
  app.add_option("--alert-split", s.alert_split,
                 "a long alert goes in several pages (true) or is cut (false)")
      ->capture_default_str();
}

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  in_addr v4{};
  return inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

std::string FinishHttpSettings(HttpSettings& s) {
  s.enabled = s.listen != "off";
  for (const std::string& line : s.alert_receiver_lines) {
    if (std::string why = ParseReceiver(line, s); !why.empty()) return why;
  }
  if (!s.enabled) return "";
  if (std::string why = ParseListen(s); !why.empty()) return why;
  if (s.cert_path.empty() != s.key_path.empty()) {
    return "HTTPS needs both --http-cert and --http-key";
  }
  std::string why;
  const TokenSet tokens = TokenSet::Parse(s.tokens, why);
  if (!why.empty()) return why;
  if (!IsLoopbackHost(s.host)) {
    if (!s.Tls()) {
      return "the HTTP listener on " + s.host +
             " would be reachable beyond this machine without TLS: give --http-cert and "
             "--http-key, or listen on 127.0.0.1";
    }
    if (tokens.Empty()) {
      return "the HTTP listener on " + s.host +
             " would be reachable beyond this machine with no token: add one with "
             "`zentrel-gateway token add NAME`";
    }
  }
  return "";
}

}  // namespace zentrel::gateway
