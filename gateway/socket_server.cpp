// The socket's I/O: accept, read into each client's line buffer, answer one
// request at a time through the handler, write without blocking. Accepts run
// after the clients are served, so a descriptor reused by a new client is
// never given an old client's readiness.
#include "gateway/socket_server.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "gateway/page_json.h"

namespace zentrel::gateway {

namespace {

std::runtime_error SocketError(const std::string& path, const std::string& why) {
  return std::runtime_error("cannot listen on " + path + ": " + why);
}

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    throw SocketError(path, "the path is empty or longer than a socket's name may be");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// A socket file left by a daemon that died is replaced; a live one (it takes
// a connection) or anything that is not a socket is left alone.
void ClearStale(const std::string& path, const sockaddr_un& address) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return;
  if (!S_ISSOCK(st.st_mode)) throw SocketError(path, "something other than a socket is there");
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool live = probe >= 0 && connect(probe, reinterpret_cast<const sockaddr*>(&address),
                                          sizeof address) == 0;
  if (probe >= 0) close(probe);
  if (live) throw SocketError(path, "another gateway is listening there");
  unlink(path.c_str());
}

uid_t PeerUid(int fd) {
  ucred cred{};
  socklen_t size = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0) return static_cast<uid_t>(-1);
  return cred.uid;
}

}  // namespace

SocketServer::SocketServer(const std::string& path, const SocketLimits& limits, Handler& handler)
    : path_(path), limits_(limits), handler_(handler) {
  const sockaddr_un address = Address(path);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  ClearStale(path, address);
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) throw SocketError(path, std::strerror(errno));
  const mode_t old_mask = umask(0117);
  const bool bound =
      bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int error = errno;
  umask(old_mask);
  if (!bound || listen(listen_fd_, 128) != 0) {
    const std::string why = std::strerror(bound ? errno : error);
    close(listen_fd_);
    throw SocketError(path, why);
  }
}

SocketServer::~SocketServer() {
  StopAccepting();
  for (auto& [fd, client] : clients_) close(fd);
}

void SocketServer::StopAccepting() {
  if (listen_fd_ < 0) return;
  close(listen_fd_);
  listen_fd_ = -1;
  unlink(path_.c_str());
}

void SocketServer::AddFds(std::vector<pollfd>& fds, double now) {
  Expire(now);
  for (const auto& [fd, client] : clients_) {
    short events = 0;
    if (client->out.empty() && !client->close_after_write) events |= POLLIN;
    if (!client->out.empty()) events |= POLLOUT;
    fds.push_back(pollfd{fd, events, 0});
  }
  if (listen_fd_ >= 0 && !accept_paused_) fds.push_back(pollfd{listen_fd_, POLLIN, 0});
}

void SocketServer::Serve(const std::vector<pollfd>& fds, std::size_t first, double now) {
  bool accept = false;
  for (std::size_t i = first; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    if (fds[i].fd == listen_fd_) {
      accept = true;
      continue;
    }
    const auto found = clients_.find(fds[i].fd);
    if (found == clients_.end()) continue;
    Client& client = *found->second;
    if (fds[i].revents & POLLOUT) {
      Write(client);
      // Its answer is out: the requests it sent meanwhile come next.
      if (clients_.count(fds[i].fd) && client.out.empty()) Process(client, now);
    }
    if (clients_.count(fds[i].fd) && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
      Read(client, now);
    }
  }
  if (accept) Accept(now);
}

void SocketServer::Accept(double now) {
  for (int n = 0; n < 64; ++n) {
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE) accept_paused_ = true;
      return;
    }
    if (clients_.size() >= limits_.max_clients) {
      const std::string busy = AnswerLine(
          ErrorAnswer("unavailable", "The gateway has too many connections; try again later."));
      (void)!write(fd, busy.data(), busy.size());
      close(fd);
      continue;
    }
    auto client = std::make_unique<Client>(limits_.max_line);
    client->fd = fd;
    client->uid = PeerUid(fd);
    client->deadline = now + limits_.idle_timeout_s;
    clients_[fd] = std::move(client);
  }
}

void SocketServer::Close(int fd) {
  close(fd);
  clients_.erase(fd);
  accept_paused_ = false;
}

void SocketServer::Read(Client& client, double now) {
  char chunk[65536];
  const ssize_t n = read(client.fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) return Close(client.fd);
  client.deadline = now + limits_.idle_timeout_s;
  client.in.Append(std::string_view(chunk, static_cast<std::size_t>(n)));
  Process(client, now);
}

void SocketServer::Write(Client& client) {
  while (!client.out.empty()) {
    const ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n <= 0) return Close(client.fd);
    client.out.erase(0, static_cast<std::size_t>(n));
  }
  if (client.close_after_write) return Close(client.fd);
}

// One request at a time: the next is read once this one's answer is out.
void SocketServer::Process(Client& client, double now) {
  while (client.out.empty() && !client.watch_active && !client.close_after_write) {
    std::optional<std::string> line = client.in.Next();
    if (!line) break;
    if (line->empty()) continue;
    auto parsed = ParseRequest(*line);
    if (auto* refusal = std::get_if<Refusal>(&parsed)) {
      client.out = AnswerLine(ErrorAnswer(refusal->code, refusal->error));
    } else if (std::get<Request>(parsed).op == Op::kWatch) {
      Watch(client, std::get<Request>(parsed));
    } else {
      const Request& request = std::get<Request>(parsed);
      client.out = AnswerLine(handler_.Answer(request, client.uid, now, Accepting()));
      // A cancelled page is final: the clients watching it are told now.
      if (request.op == Op::kCancel) PagesChanged();
    }
  }
  if (client.in.Overflowed() && !client.close_after_write) {
    client.out += AnswerLine(ErrorAnswer(
        "bad-request", "A request is one line of at most 1 MiB; this connection is closed."));
    client.close_after_write = true;
  }
  Write(client);
}

void SocketServer::Watch(Client& client, const Request& request) {
  client.watching = std::set<queue::PageId>(request.ids.begin(), request.ids.end());
  client.watch_active = true;
  AnswerWatches(client);
}

// One read finds the watched pages that settled; only those are read whole.
void SocketServer::AnswerWatches(Client& client) {
  try {
    for (queue::PageId id : handler_.Settled(client.watching)) {
      const nlohmann::json line = handler_.WatchLine(id);
      if (line.is_null()) continue;
      client.out += AnswerLine(line);
      client.watching.erase(id);
    }
  } catch (const queue::QueueError&) {
    return;  // asked again at the next change
  }
  if (client.watching.empty()) {
    client.out += AnswerLine({{"ok", true}, {"done", true}});
    client.watch_active = false;
  }
}

void SocketServer::PagesChanged() {
  std::vector<int> watchers;
  for (const auto& [fd, client] : clients_) {
    if (client->watch_active) watchers.push_back(fd);
  }
  for (int fd : watchers) {
    Client& client = *clients_.at(fd);
    AnswerWatches(client);
    Write(client);
  }
}

// A client is idle when nothing came from it in time. Bytes already waiting
// in its socket count as sent: a daemon held up elsewhere (a busy machine, a
// long commit) must not drop a client whose request is there to be read.
void SocketServer::Expire(double now) {
  std::vector<int> idle;
  for (const auto& [fd, client] : clients_) {
    const bool waiting_on_us = client->watch_active && client->out.empty();
    // ... unless it does not read our answer, which keeps us from reading on.
    const bool reading = client->out.empty() && !client->close_after_write;
    int pending = 0;
    const bool has_bytes = reading && ioctl(fd, FIONREAD, &pending) == 0 && pending > 0;
    if (!waiting_on_us && !has_bytes && now >= client->deadline) idle.push_back(fd);
  }
  for (int fd : idle) Close(fd);
}

double SocketServer::NextDeadline() const {
  double next = std::numeric_limits<double>::infinity();
  for (const auto& [fd, client] : clients_) {
    if (!(client->watch_active && client->out.empty())) next = std::min(next, client->deadline);
  }
  return next;
}

}  // namespace zentrel::gateway
