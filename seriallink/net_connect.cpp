// getaddrinfo, then one non-blocking connect per address, each awaited with
// poll() on the socket and the wake-up until the common deadline.
#include "seriallink/net_connect.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zentrel {
namespace {

using Clock = std::chrono::steady_clock;

// 0 connected, else an errno (ETIMEDOUT past the deadline, ECANCELED on wake-up).
int Await(int fd, int wake_fd, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return ETIMEDOUT;
    pollfd fds[2] = {{fd, POLLOUT, 0}, {wake_fd, POLLIN, 0}};
    const int r = poll(fds, wake_fd >= 0 ? 2 : 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno;
    if (wake_fd >= 0 && fds[1].revents != 0) return ECANCELED;
    if (r == 0) continue;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
    return error;
  }
}

int TryAddress(const addrinfo& a, int wake_fd, Clock::time_point deadline, int* error) {
  const int fd = socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
  if (fd < 0) return *error = errno, -1;
  *error = connect(fd, a.ai_addr, a.ai_addrlen) == 0 ? 0 : errno;
  if (*error == EINPROGRESS) *error = Await(fd, wake_fd, deadline);
  if (*error == 0) return fd;
  close(fd);
  return -1;
}

std::string Reason(int error, std::chrono::milliseconds limit) {
  if (error == ETIMEDOUT) return "no answer within " + std::to_string(limit.count()) + " ms";
  if (error == ECANCELED) return "connecting abandoned";
  return std::strerror(error);
}

}  // namespace

bool SplitHostPort(const std::string& text, std::string* host, std::string* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  *host = text.substr(0, colon);
  *port = text.substr(colon + 1);
  if (host->size() >= 2 && host->front() == '[' && host->back() == ']')
    *host = host->substr(1, host->size() - 2);
  return port->find_first_not_of("0123456789") == std::string::npos && port->size() <= 5 &&
         std::stoi(*port) <= 65535 && !host->empty();
}

int ConnectTcp(const std::string& host, const std::string& port, std::chrono::milliseconds limit,
               int wake_fd, std::string* error, int* error_number) {
  int ignored = 0;
  if (error_number == nullptr) error_number = &ignored;
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int g = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (g != 0) {
    *error_number = EHOSTUNREACH;
    return *error = std::string("unknown host: ") + gai_strerror(g), -1;
  }
  const Clock::time_point deadline = Clock::now() + limit;
  int last = ECONNREFUSED;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = TryAddress(*a, wake_fd, deadline, &last);
    if (last == ETIMEDOUT || last == ECANCELED) break;
  }
  freeaddrinfo(found);
  if (fd < 0) *error = Reason(last, limit), *error_number = last;
  return fd;
}

}  // namespace zentrel
