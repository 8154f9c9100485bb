// The listener's set-up. httplib's stop() does nothing until its accept loop
// has begun, so Stop asks again until the serving thread says it is done.
#include "gateway/http_server.h"

#include <fcntl.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <chrono>
#include <stdexcept>

#include "gateway/http_reply.h"

namespace zentrel::gateway {

namespace {

std::unique_ptr<httplib::Server> MakeServer(const HttpSettings& s) {
  if (!s.Tls()) return std::make_unique<httplib::Server>();
  auto server = std::make_unique<httplib::SSLServer>(s.cert_path.c_str(), s.key_path.c_str());
  if (!server->is_valid()) {
    throw std::runtime_error("cannot use the HTTPS certificate " + s.cert_path + " with the key " +
                             s.key_path + " (missing, unreadable, or not a pair)");
  }
  SSL_CTX_set_min_proto_version(server->ssl_context(), TLS1_2_VERSION);
  return server;
}

// SO_REUSEADDR (a restart binds at once) but not the library's default
// SO_REUSEPORT, which would let a second gateway share the port unseen.
void ListenOptions(socket_t sock) {
  const int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  fcntl(sock, F_SETFD, FD_CLOEXEC);
}

void SetBounds(httplib::Server& server, const HttpSettings& s) {
  server.set_socket_options(ListenOptions);
  const auto timeout = std::chrono::duration<double>(s.timeout_s);
  server.set_payload_max_length(s.max_body);
  server.set_read_timeout(timeout);
  server.set_write_timeout(timeout);
  server.set_keep_alive_timeout(std::max<time_t>(1, static_cast<time_t>(s.timeout_s)));
  server.set_keep_alive_max_count(100);
  const int threads = s.threads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  const std::size_t max_headers = s.max_headers;
  server.set_pre_routing_handler(
      [max_headers](const httplib::Request& req, httplib::Response& res) {
        if (req.headers.size() <= max_headers) return httplib::Server::HandlerResponse::Unhandled;
        ReplyError(res, 431, "bad-request",
                   "A request may have at most " + std::to_string(max_headers) + " header lines.");
        return httplib::Server::HandlerResponse::Handled;
      });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    ReplyError(res, res.status, res.status == 404 ? "not-found" : "bad-request",
               res.status == 404
                   ? "There is nothing at this address."
                   : "The request was refused (HTTP " + std::to_string(res.status) + ").");
  });
}

}  // namespace

HttpServer::HttpServer(const HttpSettings& settings,
                       const std::function<void(httplib::Server&)>& add_routes)
    : server_(MakeServer(settings)) {
  SetBounds(*server_, settings);
  add_routes(*server_);
  int port = settings.port;
  const bool bound = port == 0 ? (port = server_->bind_to_any_port(settings.host)) > 0
                               : server_->bind_to_port(settings.host, port);
  const std::string host =
      settings.host.find(':') == std::string::npos ? settings.host : "[" + settings.host + "]";
  where_ = (settings.Tls() ? "https://" : "http://") + host + ":" + std::to_string(port);
  if (!bound) throw std::runtime_error("cannot listen for HTTP on " + where_);
  thread_ = std::thread([this] { Serve(); });
}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Serve() {
  server_->listen_after_bind();
  std::lock_guard lock(mutex_);
  serving_ = false;
  ended_.notify_all();
}

void HttpServer::StopAccepting() { server_->stop(); }

void HttpServer::Stop() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    while (serving_) {
      server_->stop();
      ended_.wait_for(lock, std::chrono::milliseconds(20));
    }
  }
  thread_.join();
}

}  // namespace zentrel::gateway
