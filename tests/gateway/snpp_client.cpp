// The client of snpp_client.h over a blocking socket read only after poll.
#include "tests/gateway/snpp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentrel::gateway::testing {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  close(fd);
  return ntohs(a.sin_port);
}

SnppClient::SnppClient(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in a = Loopback(port);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SnppClient::~SnppClient() {
  if (fd_ >= 0) close(fd_);
}

void SnppClient::SendRaw(const std::string& bytes, bool wait) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done,
                           MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT));
    if (n <= 0) return;  // closed (seen by the next read), or full
    done += static_cast<std::size_t>(n);
  }
}

std::string SnppClient::Reply(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto end = buffer_.find("\r\n");
    if (end != std::string::npos) {
      const std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 2);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      return "";
    }
    char chunk[4096];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return "";
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string SnppClient::Ask(const std::string& line) {
  SendRaw(line + "\r\n");
  std::string reply = Reply();
  while (reply.rfind("214", 0) == 0) reply = Reply();
  return reply;
}

bool SnppClient::ClosedWithin(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return true;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace zentrel::gateway::testing
