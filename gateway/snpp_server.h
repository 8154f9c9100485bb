// The SNPP listener: a TCP socket (bound here, or handed over by systemd's
// socket activation) and its clients, served from the daemon's poll loop
// without ever blocking. Each client is one SnppSession; it is read only
// once its replies are out, so a client that never reads holds nothing but
// its own replies, and an idle one is told 421 and closed.
#pragma once

#include <poll.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gateway/snpp_session.h"

namespace zentrel::gateway {

struct SnppServerConfig {
  std::string address = "127.0.0.1:4444";  // [HOST:]PORT
  double idle_s = 60;
  std::size_t max_clients = 64;
  std::string hold_zone = "UTC";
  bool have_users = false;  // without users the port stays on loopback
};

class SnppServer {
 public:
  // Listens on config.address, or on `activated_fd` when it is >= 0. Throws
  // std::runtime_error naming the address and the cause, also when the
  // address is beyond loopback and no user is configured.
  SnppServer(const SnppServerConfig& config, std::unique_ptr<SnppBackend> backend,
             int activated_fd = -1);
  ~SnppServer();
  SnppServer(const SnppServer&) = delete;
  SnppServer& operator=(const SnppServer&) = delete;

  void AddFds(std::vector<pollfd>& fds, double now);
  void Serve(const std::vector<pollfd>& fds, std::size_t first, double now);
  double NextDeadline() const;
  // Takes no more clients; those connected are told 421 and closed.
  void StopAccepting();
  const std::string& Where() const { return where_; }

 private:
  struct Client {
    int fd = -1;
    std::unique_ptr<SnppSession> session;
    std::string out;
    double deadline = 0;
  };
  void Accept(double now);
  void Read(Client& client, double now);
  void Write(Client& client);
  void Close(int fd);
  void Expire(double now);

  SnppServerConfig config_;
  std::unique_ptr<SnppBackend> backend_;
  int listen_fd_ = -1;
  std::string where_;
  bool accept_paused_ = false;
  std::map<int, std::unique_ptr<Client>> clients_;
};

// socket activation's descriptor named "snpp" (FileDescriptorName=snpp), or
// -1 when the daemon was not started that way.
int ActivatedSnppSocket();

}  // namespace zentrel::gateway
