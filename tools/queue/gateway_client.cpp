// The client end of the gateway socket: connect(2) on a Unix stream socket,
// send() with MSG_NOSIGNAL (a daemon gone away is an error, not SIGPIPE),
// poll() bounds every wait for a reply, replies are cut at newlines and
// bounded in size. errno is turned into the sentence once, in Fail().
#include "tools/queue/gateway_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zentrel {

std::string DefaultGatewaySocket() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return "/run/zentrel/gateway.sock";
  return std::string(runtime) + "/zentrel/gateway.sock";
}

GatewayReply ParseReply(std::string_view line) {
  nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    throw GatewayError("the gateway's answer is not a JSON object");
  }
  const auto ok = j.find("ok");
  if (ok == j.end() || !ok->is_boolean()) throw GatewayError("the gateway's answer has no \"ok\"");
  GatewayReply reply;
  reply.ok = ok->get<bool>();
  const auto text = [&](const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  reply.code = text("code");
  reply.error = text("error");
  if (!reply.ok && reply.error.empty())
    reply.error = "refused" + (reply.code.empty() ? "" : " (" + reply.code + ")");
  reply.body = std::move(j);
  return reply;
}

GatewayClient::GatewayClient(std::string socket_path, std::chrono::milliseconds reply_limit)
    : path_(std::move(socket_path)), reply_limit_(reply_limit) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof address.sun_path) {
    throw GatewayError("cannot reach the gateway at " + path_ + ": not a usable socket path");
  }
  std::memcpy(address.sun_path, path_.data(), path_.size());
  fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) Fail("cannot make a socket");
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int cause = errno;
    ::close(fd_);
    fd_ = -1;
    errno = cause;
    Fail("cannot reach the gateway");
  }
}

GatewayClient::~GatewayClient() {
  if (fd_ >= 0) ::close(fd_);
}

void GatewayClient::Fail(const std::string& what) const {
  const int cause = errno;
  std::string sentence = what + " at " + path_ + ": " + std::strerror(cause);
  if (cause == ENOENT || cause == ECONNREFUSED) sentence += " (is zentrel-gateway running?)";
  throw GatewayError(sentence);
}

void GatewayClient::Send(const nlohmann::json& request) {
  const std::string line =
      request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  for (std::size_t sent = 0; sent < line.size();) {
    const ssize_t n = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot write to the gateway");
    sent += static_cast<std::size_t>(n);
  }
}

GatewayReply GatewayClient::Ask(const nlohmann::json& request) {
  Send(request);
  return Next(reply_limit_);
}

GatewayReply GatewayClient::Next(std::optional<std::chrono::milliseconds> limit) {
  return ParseReply(ReadLine(limit));
}

std::string GatewayClient::ReadLine(std::optional<std::chrono::milliseconds> limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit.value_or(reply_limit_);
  for (;;) {
    if (const auto eol = pending_.find('\n'); eol != std::string::npos) {
      std::string line = pending_.substr(0, eol);
      pending_.erase(0, eol + 1);
      return line;
    }
    if (pending_.size() > kGatewayReplyMaxBytes) {
      throw GatewayError("the gateway at " + path_ + " sent an answer over 64 MiB");
    }
    int wait_ms = -1;
    if (limit) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        throw GatewayError("the gateway at " + path_ + " did not answer within " +
                           std::to_string(limit->count() / 1000) + " s");
      }
      wait_ms = static_cast<int>(left.count());
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, wait_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) Fail("cannot wait for the gateway");
    if (ready == 0) continue;  // the deadline check above ends the wait
    char buffer[65536];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read from the gateway");
    if (n == 0) throw GatewayError("the gateway at " + path_ + " closed the connection");
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace zentrel
