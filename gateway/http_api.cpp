// The JSON API for programs: GET /api/v1/pages/ID answers the page as the
// local socket shows it (its state and attempts); 404 when there is none.
#include "gateway/http_reply.h"
#include "gateway/http_routes.h"
#include "gateway/page_json.h"

namespace zentrel::gateway {

namespace {

using nlohmann::json;

void ShowPage(DaemonAccess& daemon, const httplib::Request& req, httplib::Response& res) {
  const queue::PageId id = std::stoll(req.matches[1]);
  const auto page = daemon.Run([id](DaemonState& s) { return s.queue.Find(id); });
  if (!page) {
    return ReplyError(res, 404, "no-such-page",
                      "There is no page " + std::to_string(id) + " in the queue.");
  }
  ReplyJson(res, 200, {{"ok", true}, {"page", PageJson(*page)}});
}

}  // namespace

void AddApiRoutes(HttpRoutes& routes, HttpContext& context) {
  DaemonAccess& daemon = context.daemon;
  routes.Get(R"(/api/v1/pages/(\d{1,15}))", Access::kToken,
             [&daemon](const httplib::Request& req, httplib::Response& res, const std::string&) {
               ShowPage(daemon, req, res);
             });
}

}  // namespace zentrel::gateway
