// A TCP listener serving one caller at a time, with TLS when a certificate
// and key are given (OpenSSL, the handshake driven by the poll loop). A drop
// says goodbye (close_notify), shuts the sending side, then waits a little
// for the caller to close, so that nothing unread turns into a reset. With a
// connection limit the listener is closed once it is reached, as a device
// server that takes one session refuses every later caller.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "link_end.h"
#include "pty_port.h"

namespace zentrel::modemsim {
namespace {

std::string SslError(const std::string& what) {
  char text[256] = "unknown";
  if (const unsigned long e = ERR_get_error()) ERR_error_string_n(e, text, sizeof text);
  return what + ": " + text;
}

SSL_CTX* ServerContext(const ListenOptions& o) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (ctx == nullptr) throw ModemSimError(SslError("TLS context"));
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  if (SSL_CTX_use_certificate_chain_file(ctx, o.cert.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, o.key.c_str(), SSL_FILETYPE_PEM) != 1) {
    SSL_CTX_free(ctx);
    throw ModemSimError(SslError("TLS certificate " + o.cert + " / key " + o.key));
  }
  return ctx;
}

int Listen(const ListenOptions& o, int* port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(o.host.c_str(), std::to_string(o.port).c_str(), &hints, &found) != 0)
    throw ModemSimError("--listen: not a numeric address: " + o.host);
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int one = 1;
  if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const bool ok =
      fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 4) == 0;
  freeaddrinfo(found);
  if (!ok) {
    if (fd >= 0) ::close(fd);
    ThrowErrno("listen on " + o.host + ":" + std::to_string(o.port));
  }
  sockaddr_storage bound{};
  socklen_t len = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
  *port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return fd;
}

class TcpLinkEnd : public LinkEnd {
 public:
  explicit TcpLinkEnd(ListenOptions o) : options_(std::move(o)) {
    if (!options_.cert.empty()) ctx_ = ServerContext(options_);
    listener_ = Listen(options_, &port_);
  }
  ~TcpLinkEnd() override {
    Drop();
    if (listener_ >= 0) ::close(listener_);
    if (ctx_ != nullptr) SSL_CTX_free(ctx_);
  }

  int PollFd() const override { return client_ >= 0 ? client_ : listener_; }
  short PollEvents(bool want_write) const override {
    if (client_ < 0) return POLLIN;
    if (!up_) return handshake_wants_;
    return static_cast<short>(POLLIN | (want_write ? POLLOUT : 0));
  }
  bool HasClient() const override { return up_; }
  bool Progress(short revents) override;
  ssize_t Read(char* buf, std::size_t n) override;
  ssize_t Write(const char* data, std::size_t n) override;
  int PendingForClient() const override { return 0; }
  void Drop() override;
  std::string Where() const override {
    const bool v6 = options_.host.find(':') != std::string::npos;
    return (v6 ? "[" + options_.host + "]" : options_.host) + ":" + std::to_string(port_);
  }
  bool AnnounceAfterDrop() const override { return false; }
  int Accepted() const override { return accepted_; }

 private:
  bool Handshake();
  void CloseClient();

  ListenOptions options_;
  SSL_CTX* ctx_ = nullptr;
  int listener_ = -1;
  int port_ = 0;
  int client_ = -1;
  SSL* ssl_ = nullptr;
  bool up_ = false;
  short handshake_wants_ = POLLIN;
  int accepted_ = 0;
};

bool TcpLinkEnd::Progress(short revents) {
  if (client_ < 0) {
    if ((revents & POLLIN) == 0) return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client_ < 0) return false;
    if (++accepted_ == options_.max_connections) {
      ::close(listener_);
      listener_ = -1;
    }
    // A paced line hands out one byte at a time: each must leave at once,
    // not wait for the caller's delayed acknowledgement of the one before.
    const int one = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (ctx_ == nullptr || !options_.handshake) return up_ = true;
    ssl_ = SSL_new(ctx_);
    SSL_set_fd(ssl_, client_);
  }
  return Handshake();
}

bool TcpLinkEnd::Handshake() {
  ERR_clear_error();
  const int r = SSL_accept(ssl_);
  if (r == 1) return up_ = true;
  const int e = SSL_get_error(ssl_, r);
  if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
    handshake_wants_ = e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
    return false;
  }
  CloseClient();  // the caller refused us (an untrusted certificate) or left
  return false;
}

ssize_t TcpLinkEnd::Read(char* buf, std::size_t n) {
  if (ssl_ == nullptr) {
    const ssize_t r = ::recv(client_, buf, n, 0);
    if (r >= 0) return r;
    return errno == EAGAIN || errno == EINTR ? -1 : 0;
  }
  ERR_clear_error();
  std::size_t got = 0;
  if (SSL_read_ex(ssl_, buf, n, &got) == 1) return static_cast<ssize_t>(got);
  const int e = SSL_get_error(ssl_, 0);
  return e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE ? -1 : 0;
}

ssize_t TcpLinkEnd::Write(const char* data, std::size_t n) {
  if (ssl_ == nullptr) {
    const ssize_t w = ::send(client_, data, n, MSG_NOSIGNAL);
    return w > 0 ? w : -1;
  }
  ERR_clear_error();
  std::size_t put = 0;
  return SSL_write_ex(ssl_, data, n, &put) == 1 ? static_cast<ssize_t>(put) : -1;
}

void TcpLinkEnd::Drop() {
  if (client_ < 0) return;
  if (ssl_ != nullptr && up_) SSL_shutdown(ssl_);
  ::shutdown(client_, SHUT_WR);
  // Read what is left until the caller closes, for a short while.
  char sink[512];
  for (;;) {
    pollfd p{client_, POLLIN, 0};
    if (::poll(&p, 1, options_.linger_ms) != 1) break;
    if (::recv(client_, sink, sizeof sink, 0) <= 0) break;
  }
  CloseClient();
}

void TcpLinkEnd::CloseClient() {
  if (ssl_ != nullptr) SSL_free(ssl_);
  ssl_ = nullptr;
  if (client_ >= 0) ::close(client_);
  client_ = -1;
  up_ = false;
  handshake_wants_ = POLLIN;
}

}  // namespace

std::unique_ptr<LinkEnd> MakeTcpLinkEnd(const ListenOptions& options) {
  return std::make_unique<TcpLinkEnd>(options);
}

bool ParseListenAddress(const std::string& text, ListenOptions* options) {
  const std::size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
  const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int number = std::stoi(port);
  if (number > 65535) return false;
  if (!host.empty()) options->host = host;
  options->port = number;
  return true;
}

}  // namespace zentrel::modemsim
