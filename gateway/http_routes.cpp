// The access check around every route, the body's reading for POST routes
// (bounded in size and in time: a body that trickles in is cut off), and the
// list of route groups.
#include "gateway/http_routes.h"

#include <chrono>

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
  // One challenge a header: a browser reads only the first of a list, and
  // would not offer basic auth after a bearer challenge it cannot answer.
  res.set_header("WWW-Authenticate", "Basic realm=\"zentrel\"");
  res.set_header("WWW-Authenticate", "Bearer realm=\"zentrel\"");
  ReplyError(res, 401, "unauthorized",
             header.empty() ? "This needs a token: Authorization: Bearer TOKEN."
                            : "The token given is not one this gateway knows.");
  return false;
}

// The whole body into `body` within the request's time; else the answer
// (408 too slow, 413 too big, 400 cut short) and false.
bool ReadBody(const httplib::ContentReader& reader, const HttpSettings& limits, std::string& body,
              httplib::Response& res) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(limits.timeout_s));
  bool late = false;
  bool big = false;
  const bool whole = reader([&](const char* data, std::size_t size) {
    late = Clock::now() > deadline;
    big = body.size() + size > limits.max_body;
    if (late || big) return false;
    body.append(data, size);
    return true;
  });
  if (whole) return true;
  res.set_header("Connection", "close");
  if (late) {
    ReplyError(res, 408, "bad-request", "The body took too long to arrive; nothing was queued.");
  } else if (big || res.status == 413) {
    ReplyError(res, 413, "bad-request",
               "A body may have at most " + std::to_string(limits.max_body) +
                   " bytes; nothing was queued.");
  } else {
    ReplyError(res, 400, "bad-request", "The body did not arrive whole; nothing was queued.");
  }
  return false;
}

}  // namespace

HttpRoutes::Guarded HttpRoutes::Guard(Access access, RouteHandler handler) const {
  return [&tokens = tokens_, &limits = limits_, access, handler = std::move(handler)](
             const httplib::Request& req, httplib::Response& res,
             const httplib::ContentReader* reader) {
    std::string caller;
    if (access == Access::kToken && !Admit(tokens, req, res, caller)) return;
    try {
      if (!reader) return handler(req, res, caller);
      httplib::Request whole = req;
      if (ReadBody(*reader, limits, whole.body, res)) handler(whole, res, caller);
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
  server_.Get(pattern, [guard = Guard(access, std::move(handler))](const httplib::Request& req,
                                                                   httplib::Response& res) {
    guard(req, res, nullptr);
  });
}

void HttpRoutes::Post(const std::string& pattern, Access access, RouteHandler handler) {
  server_.Post(pattern, [guard = Guard(access, std::move(handler))](
                            const httplib::Request& req, httplib::Response& res,
                            const httplib::ContentReader& reader) { guard(req, res, &reader); });
}

void HttpRoutes::Delete(const std::string& pattern, Access access, RouteHandler handler) {
  server_.Delete(pattern, [guard = Guard(access, std::move(handler))](const httplib::Request& req,
                                                                      httplib::Response& res) {
    guard(req, res, nullptr);
  });
}

void AddRoutes(HttpRoutes& routes, HttpContext& context) {
  AddWctpRoutes(routes, context);
  AddHealthRoutes(routes, context);
  AddApiRoutes(routes, context);
  AddAlertRoutes(routes, context);
  AddStatusRoutes(routes, context);
}

}  // namespace zentrel::gateway
