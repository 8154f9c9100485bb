// The SNPP socket's I/O: accept (with the connection limit), read at most a
// few kilobytes at a time into the client's session, write its replies
// without blocking, close after a farewell. Accepts run after the clients
// are served, so a reused descriptor never gets an old client's readiness.
#include "gateway/snpp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "gateway/log.h"

namespace zentrel::gateway {

namespace {

constexpr std::size_t kReadChunk = 4096;

std::runtime_error ListenError(const std::string& address, const std::string& why) {
  return std::runtime_error("cannot listen for SNPP on " + address + ": " + why);
}

bool IsLoopback(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) {
    const auto& in = reinterpret_cast<const sockaddr_in&>(a);
    return (ntohl(in.sin_addr.s_addr) >> 24) == 127;
  }
  if (a.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a).sin6_addr;
    if (IN6_IS_ADDR_LOOPBACK(&in6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&in6) && in6.s6_addr[12] == 127;
  }
  return false;
}

// "192.0.2.7" or "2001:db8::1"; with the port, "192.0.2.7:444" or "[::1]:444".
std::string Text(const sockaddr_storage& a, bool with_port) {
  char host[NI_MAXHOST] = "?";
  char port[NI_MAXSERV] = "?";
  getnameinfo(reinterpret_cast<const sockaddr*>(&a), sizeof a, host, sizeof host, port, sizeof port,
              NI_NUMERICHOST | NI_NUMERICSERV);
  if (!with_port) return host;
  return a.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                 : std::string(host) + ":" + port;
}

// "PORT", "HOST:PORT" or "[V6]:PORT"; a bare port is on loopback.
void SplitAddress(const std::string& address, std::string& host, std::string& port) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos) {
    host = "127.0.0.1";
    port = address;
    return;
  }
  host = address.substr(0, colon);
  port = address.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
}

// 0 (any free port) to 65535, digits only: the resolver would take 99999
// and listen on what it wraps to.
bool ValidPort(const std::string& port) {
  if (port.empty() || port.size() > 5) return false;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoi(port) <= 65535;
}

int Bind(const std::string& address) {
  std::string host, port;
  SplitAddress(address, host, port);
  if (!ValidPort(port)) throw ListenError(address, "the port is not a number from 0 to 65535");
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
    throw ListenError(address, gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ListenError(address, std::strerror(errno));
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, 128) != 0) {
    const std::string why = std::strerror(errno);
    close(fd);
    throw ListenError(address, why);
  }
  return fd;
}

sockaddr_storage LocalAddress(int fd) {
  sockaddr_storage a{};
  socklen_t size = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  return a;
}

}  // namespace

int ActivatedSnppSocket() {
  char** names = nullptr;
  const int n = sd_listen_fds_with_names(0, &names);
  int fd = -1;
  for (int i = 0; i < n; ++i) {
    if (fd < 0 && names && std::strcmp(names[i], "snpp") == 0) fd = SD_LISTEN_FDS_START + i;
    if (names) std::free(names[i]);
  }
  std::free(names);
  if (fd >= 0) {
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return fd;
}

SnppServer::SnppServer(const SnppServerConfig& config, std::unique_ptr<SnppBackend> backend,
                       int activated_fd)
    : config_(config), backend_(std::move(backend)) {
  listen_fd_ = activated_fd >= 0 ? activated_fd : Bind(config.address);
  const sockaddr_storage local = LocalAddress(listen_fd_);
  where_ = Text(local, true);
  if (!IsLoopback(local) && !config.have_users) {
    close(listen_fd_);
    listen_fd_ = -1;
    throw ListenError(where_,
                      "beyond loopback every client must log in, and no snpp-user is configured "
                      "(make one with `zentrel-gateway passwd NAME`)");
  }
}

SnppServer::~SnppServer() {
  if (listen_fd_ >= 0) close(listen_fd_);
  for (auto& [fd, client] : clients_) close(fd);
}

void SnppServer::StopAccepting() {
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
  for (auto& [fd, client] : clients_) {
    if (!client->session->Closing()) client->out += client->session->IdleTimeout();
  }
}

void SnppServer::AddFds(std::vector<pollfd>& fds, double now) {
  Expire(now);
  for (const auto& [fd, client] : clients_) {
    const bool reading = client->out.empty() && !client->session->Closing();
    fds.push_back(pollfd{fd, static_cast<short>(reading ? POLLIN : POLLOUT), 0});
  }
  if (listen_fd_ >= 0 && !accept_paused_) fds.push_back(pollfd{listen_fd_, POLLIN, 0});
}

void SnppServer::Serve(const std::vector<pollfd>& fds, std::size_t first, double now) {
  bool accept = false;
  for (std::size_t i = first; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    if (fds[i].fd == listen_fd_) {
      accept = true;
      continue;
    }
    const auto found = clients_.find(fds[i].fd);
    if (found == clients_.end()) continue;
    if (fds[i].events & POLLOUT) {
      Write(*found->second);
    } else {
      Read(*found->second, now);
    }
  }
  if (accept) Accept(now);
}

void SnppServer::Accept(double now) {
  for (int n = 0; n < 64; ++n) {
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &size,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE) accept_paused_ = true;
      return;
    }
    if (clients_.size() >= config_.max_clients) {
      const std::string busy = SnppSession::TooManyClients();
      (void)!send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
      close(fd);
      continue;
    }
    SnppConfig session;
    session.peer = Text(peer, false);
    session.login_required = !IsLoopback(peer);
    session.hold_zone = config_.hold_zone;
    auto client = std::make_unique<Client>();
    client->fd = fd;
    client->session = std::make_unique<SnppSession>(session, *backend_);
    client->out = SnppSession::Greeting();
    client->deadline = now + config_.idle_s;
    clients_[fd] = std::move(client);
    Write(*clients_.at(fd));
  }
}

void SnppServer::Close(int fd) {
  close(fd);
  clients_.erase(fd);
  accept_paused_ = false;
}

void SnppServer::Read(Client& client, double now) {
  char chunk[kReadChunk];
  const ssize_t n = read(client.fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) return Close(client.fd);
  client.deadline = now + config_.idle_s;
  client.out = client.session->Feed(std::string_view(chunk, static_cast<std::size_t>(n)), now);
  Write(client);
}

void SnppServer::Write(Client& client) {
  while (!client.out.empty()) {
    const ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n <= 0) return Close(client.fd);
    client.out.erase(0, static_cast<std::size_t>(n));
  }
  if (client.session->Closing()) Close(client.fd);
}

// A client silent past its time is told so and closed; one that does not
// read its replies is closed at the same time, with nothing more said. Bytes
// waiting in its socket count as said: a daemon held up elsewhere (a long
// commit, a loaded machine) must not drop a client whose command is there.
void SnppServer::Expire(double now) {
  std::vector<int> idle;
  for (const auto& [fd, client] : clients_) {
    const bool reading = client->out.empty() && !client->session->Closing();
    int pending = 0;
    const bool has_bytes = reading && ioctl(fd, FIONREAD, &pending) == 0 && pending > 0;
    if (!has_bytes && now >= client->deadline) idle.push_back(fd);
  }
  for (int fd : idle) {
    Client& client = *clients_.at(fd);
    if (!client.out.empty()) {
      Close(fd);
      continue;
    }
    client.out = client.session->IdleTimeout();
    Write(client);
    if (clients_.count(fd)) Close(fd);
  }
}

double SnppServer::NextDeadline() const {
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [fd, client] : clients_) next = std::min(next, client->deadline);
  return next;
}

}  // namespace zentrel::gateway
