// GET /metrics (Prometheus's text format) and GET / (the status page): each
// a snapshot taken on the daemon's thread in one task, rendered on the
// listener's thread.
#include "gateway/http_reply.h"
#include "gateway/http_routes.h"
#include "gateway/line_board.h"
#include "gateway/metrics_text.h"
#include "gateway/status_page.h"
#include "zentrel/build_config.h"

namespace zentrel::gateway {

namespace {

MetricsView Metrics(DaemonState& s) {
  return MetricsView{s.now, s.queue.Stats(), ReadEveryLine(s.queue, s.lines, s.now).lines,
                     s.lines.Durations(), kVersion};
}

StatusView Status(DaemonState& s) {
  StatusView view;
  view.now = s.now;
  view.lines = ReadEveryLine(s.queue, s.lines, s.now).lines;
  view.version = kVersion;
  std::vector<queue::Page> newest = s.queue.Newest(1000);
  for (auto it = newest.rbegin(); it != newest.rend(); ++it) {
    if (!queue::IsFinal(it->state) && !it->merged_into) view.waiting.push_back(*it);
  }
  if (newest.size() > 50) newest.resize(50);
  view.newest = std::move(newest);
  return view;
}

}  // namespace

void AddStatusRoutes(HttpRoutes& routes, HttpContext& context) {
  DaemonAccess& daemon = context.daemon;
  routes.Get("/metrics", Access::kToken,
             [&daemon](const httplib::Request&, httplib::Response& res, const std::string&) {
               res.set_content(MetricsText(daemon.Run(Metrics)),
                               "text/plain; version=0.0.4; charset=utf-8");
             });
  routes.Get("/", Access::kToken,
             [&daemon](const httplib::Request&, httplib::Response& res, const std::string&) {
               res.set_header("Cache-Control", "no-store");
               res.set_content(StatusPageHtml(daemon.Run(Status)), "text/html; charset=utf-8");
             });
}

}  // namespace zentrel::gateway
