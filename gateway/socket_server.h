// The local socket: a listener and its clients, served from the daemon's
// poll loop without ever blocking. Each client has a bounded request buffer
// (1 MiB a line, longer is refused and the connection closed), one answer
// in flight at a time (it is not read again until its answer has gone out),
// an idle time-out, and the watches it asked for. The peer's uid comes from
// SO_PEERCRED and is recorded with each page it submits.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gateway/handler.h"
#include "gateway/line_buffer.h"

namespace zentrel::gateway {

struct SocketLimits {
  double idle_timeout_s = 60;  // a client that says nothing (and watches nothing)
  std::size_t max_clients = 1000;
  std::size_t max_line = 1 << 20;
};

class SocketServer {
 public:
  // Binds `path` (a stale socket there is replaced; the folder is made),
  // mode 0660. Throws std::runtime_error naming the path and the cause.
  SocketServer(const std::string& path, const SocketLimits& limits, Handler& handler);
  ~SocketServer();
  SocketServer(const SocketServer&) = delete;
  SocketServer& operator=(const SocketServer&) = delete;

  // Adds this server's descriptors to `fds`; Serve then handles those of
  // them that are ready, from `first` on.
  void AddFds(std::vector<pollfd>& fds, double now);
  void Serve(const std::vector<pollfd>& fds, std::size_t first, double now);
  // The earliest idle time-out, for the poll's wait.
  double NextDeadline() const;
  // Pages may have reached a final state: answer the watches.
  void PagesChanged();
  // Stops accepting new connections and refuses submissions.
  void StopAccepting();
  bool Accepting() const { return listen_fd_ >= 0; }

 private:
  struct Client {
    int fd = -1;
    uid_t uid = 0;
    LineBuffer in;
    std::string out;
    double deadline = 0;
    std::set<queue::PageId> watching;
    bool watch_active = false;  // a watch is answered over time, nothing else meanwhile
    bool close_after_write = false;
    explicit Client(std::size_t max_line) : in(max_line) {}
  };
  void Accept(double now);
  void Read(Client& client, double now);
  void Write(Client& client);
  void Process(Client& client, double now);
  void Watch(Client& client, const Request& request);
  void AnswerWatches(Client& client);
  void Close(int fd);
  void Expire(double now);

  std::string path_;
  SocketLimits limits_;
  Handler& handler_;
  int listen_fd_ = -1;
  bool accept_paused_ = false;  // out of descriptors: wait for a client to go
  std::map<int, std::unique_ptr<Client>> clients_;
};

}  // namespace zentrel::gateway
