// Loopback TCP ports for the tests: one that listens (kept while the object
// lives, never accepted from), or one that nothing listens on (bound, then
// let go), for a gateway or terminal that is down.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace zentrel::e2e {

class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    if (listening) {
      listen(fd_, 8);
    } else {
      close(fd_);
      fd_ = -1;
    }
  }
  ~LoopbackPort() {
    if (fd_ >= 0) close(fd_);
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;
  int port() const { return port_; }
  std::string Text() const { return std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port nothing listens on.
inline int ClosedLoopbackPort() { return LoopbackPort(false).port(); }

}  // namespace zentrel::e2e
