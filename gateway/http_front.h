// The HTTP side of the daemon as its loop sees it: the listener (absent with
// --http off), the hand-off of its work to the loop's thread (a descriptor in
// the loop's poll) and its stop. The loop adds FdsTo's descriptor to its poll
// and calls Serve after each poll; nothing here ever blocks the loop.
#pragma once

#include <poll.h>

#include <functional>
#include <memory>
#include <vector>

#include "gateway/http_daemon.h"
#include "gateway/http_routes.h"
#include "gateway/http_server.h"
#include "gateway/http_tokens.h"
#include "gateway/loop_tasks.h"
#include "gateway/settings.h"

namespace zentrel::gateway {

class HttpFront {
 public:
  // Starts the listener unless it is off; throws std::runtime_error when it
  // cannot listen. `state` is called on the loop's thread for each task.
  HttpFront(const GatewaySettings& settings, std::function<DaemonState()> state);
  // Refuses further work, runs what was handed over, then waits for the
  // listener's requests to end.
  ~HttpFront();

  void AddFds(std::vector<pollfd>& fds) const;
  void Serve(const std::vector<pollfd>& fds);
  void StopAccepting();

 private:
  LoopTasks tasks_;
  DaemonAccess access_;
  TokenSet tokens_;
  HttpContext context_;
  std::unique_ptr<HttpServer> server_;
};

}  // namespace zentrel::gateway
