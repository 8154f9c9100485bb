// The access check around every route, and the list of route groups.
#include "gateway/http_routes.h"

#include "gateway/http_reply.h"

namespace zentrel::gateway {

namespace {

// 401 asks for credentials (none, or not a known token); 403 says no token
// could be right (none is configured).
bool Admit(const TokenSet& tokens, const httplib::Request& req, httplib::Response& res,
           std::string& caller) {
  if (tokens.Empty()) {
    ReplyError(res, 403, "forbidden",
               "No token is configured: add one with `zentrel-gateway token add NAME`.");
    return false;
  }
  const std::string header = req.get_header_value("Authorization");
  if (const auto name = header.empty() ? std::nullopt : tokens.Check(header)) {
    caller = *name;
    return true;
  }
  res.set_header("WWW-Authenticate", "Bearer realm=\"zentrel\", Basic realm=\"zentrel\"");
  ReplyError(res, 401, "unauthorized",
             header.empty() ? "This needs a token: Authorization: Bearer TOKEN."
                            : "The token given is not one this gateway knows.");
  return false;
}

}  // namespace

httplib::Server::Handler HttpRoutes::Guard(Access access, RouteHandler handler) const {
  return [&tokens = tokens_, access, handler = std::move(handler)](const httplib::Request& req,
                                                                   httplib::Response& res) {
    std::string caller;
    if (access == Access::kToken && !Admit(tokens, req, res, caller)) return;
    try {
      handler(req, res, caller);
    } catch (const Unavailable& e) {
      ReplyError(res, 503, "unavailable", e.what());
    } catch (const queue::QueueError& e) {
      ReplyError(res, 503, "unavailable",
                 std::string("The queue failed: ") + e.what() + "; nothing was queued.");
    } catch (const std::exception& e) {
      ReplyError(res, 500, "internal", e.what());
    }
  };
}

void HttpRoutes::Get(const std::string& pattern, Access access, RouteHandler handler) {
  server_.Get(pattern, Guard(access, std::move(handler)));
}

void HttpRoutes::Post(const std::string& pattern, Access access, RouteHandler handler) {
  server_.Post(pattern, Guard(access, std::move(handler)));
}

void HttpRoutes::Delete(const std::string& pattern, Access access, RouteHandler handler) {
  server_.Delete(pattern, Guard(access, std::move(handler)));
}

void AddRoutes(HttpRoutes& routes, HttpContext& context) {
  AddWctpRoutes(routes, context);
  AddHealthRoutes(routes, context);
  AddApiRoutes(routes, context);
}

}  // namespace zentrel::gateway
