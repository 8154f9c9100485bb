// GET /healthz: open to anyone (a load balancer's probe has no token). 200
// "ok" while the daemon's loop turns and takes pages; 503 while it stops.
// The answer goes through the daemon's thread, so a stuck loop shows as a
// probe that does not answer.
#include "gateway/http_reply.h"
#include "gateway/http_routes.h"

namespace zentrel::gateway {

void AddHealthRoutes(HttpRoutes& routes, HttpContext& context) {
  routes.Get("/healthz", Access::kOpen,
             [&daemon = context.daemon](const httplib::Request&, httplib::Response& res,
                                        const std::string&) {
               const bool accepting = daemon.Run([](DaemonState& s) { return s.accepting; });
               if (!accepting) throw Unavailable("The gateway is stopping.");
               res.set_content("ok\n", "text/plain");
             });
}

}  // namespace zentrel::gateway
