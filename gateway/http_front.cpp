// The HTTP side's set-up and its turn in the loop.
#include "gateway/http_front.h"

#include "gateway/http_routes.h"
#include "gateway/log.h"

namespace zentrel::gateway {

namespace {

TokenSet Tokens(const HttpSettings& settings) {
  std::string error;
  TokenSet tokens = TokenSet::Parse(settings.tokens, error);
  if (!error.empty()) throw std::runtime_error(error);
  return tokens;
}

}  // namespace

HttpFront::HttpFront(const GatewaySettings& settings, std::function<DaemonState()> state)
    : access_(tasks_, std::move(state)),
      tokens_(Tokens(settings.http)),
      context_{access_, tokens_, settings} {
  if (!settings.http.enabled) return;
  server_ = std::make_unique<HttpServer>(settings.http, [this](httplib::Server& server) {
    HttpRoutes routes(server, tokens_, context_.settings.http);
    AddRoutes(routes, context_);
  });
  Log("HTTP on " + server_->Where() +
      (tokens_.Empty() ? " (no token configured: only /healthz answers)" : ""));
}

HttpFront::~HttpFront() {
  tasks_.Close();
  if (server_) server_->Stop();
}

void HttpFront::AddFds(std::vector<pollfd>& fds) const {
  if (server_) fds.push_back(pollfd{tasks_.fd(), POLLIN, 0});
}

void HttpFront::Serve(const std::vector<pollfd>& fds) {
  for (const pollfd& p : fds) {
    if (p.fd == tasks_.fd() && p.revents) tasks_.RunPending();
  }
}

void HttpFront::StopAccepting() {
  if (server_) server_->StopAccepting();
}

}  // namespace zentrel::gateway
