// The HTTP listener's routes and the one seam for adding more: each group of
// routes is a function in a file of its own (http_health.cpp, ...) that
// registers its handlers through HttpRoutes, and AddRoutes (http_routes.cpp)
// calls every group once at start. HttpRoutes wraps each handler with its
// access check (a token unless the route is open or checks its own sender),
// reads a POST's body into req.body within the size and time bounds (413,
// 408) once the caller is admitted, and turns what the handler throws into
// 503 (daemon stopping, queue failing) or 500.
#pragma once

#include <httplib.h>

#include <functional>
#include <string>

#include "gateway/http_daemon.h"
#include "gateway/http_tokens.h"
#include "gateway/settings.h"

namespace zentrel::gateway {

enum class Access {
  kOpen,      // anyone (GET /healthz)
  kToken,     // Authorization: Bearer TOKEN, or basic auth NAME:TOKEN
  kOwnCheck,  // the route checks its sender itself, with HttpContext::tokens
};

// `caller` is the token's name ("" on open and self-checking routes).
using RouteHandler = std::function<void(const httplib::Request& req, httplib::Response& res,
                                        const std::string& caller)>;

class HttpRoutes {
 public:
  HttpRoutes(httplib::Server& server, const TokenSet& tokens, const HttpSettings& limits)
      : server_(server), tokens_(tokens), limits_(limits) {}
  // Patterns are httplib's (regular expressions matched whole).
  void Get(const std::string& pattern, Access access, RouteHandler handler);
  void Post(const std::string& pattern, Access access, RouteHandler handler);
  void Delete(const std::string& pattern, Access access, RouteHandler handler);

 private:
  using Guarded = std::function<void(const httplib::Request&, httplib::Response&,
                                     const httplib::ContentReader*)>;
  Guarded Guard(Access access, RouteHandler handler) const;
  httplib::Server& server_;
  const TokenSet& tokens_;
  const HttpSettings& limits_;
};

// What every route may reach; it outlives the listener, so a route may keep
// references to it (HttpRoutes too keeps only the tokens).
struct HttpContext {
  DaemonAccess& daemon;  // work on the daemon's thread: the queue is there
  const TokenSet& tokens;
  const GatewaySettings& settings;
};

// The groups of routes, each in its own file.
void AddHealthRoutes(HttpRoutes& routes, HttpContext& context);  // http_health.cpp
void AddApiRoutes(HttpRoutes& routes, HttpContext& context);     // http_api.cpp
void AddWctpRoutes(HttpRoutes& routes, HttpContext& context);    // wctp_http.cpp
void AddAlertRoutes(HttpRoutes& routes, HttpContext& context);   // http_alerts.cpp
void AddStatusRoutes(HttpRoutes& routes, HttpContext& context);  // http_status.cpp

// Every group above, once.
void AddRoutes(HttpRoutes& routes, HttpContext& context);

}  // namespace zentrel::gateway
