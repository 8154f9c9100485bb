// A plain SNPP client for the tests: connects to a TCP port on loopback,
// sends lines and reads reply lines with a bound (poll, never a sleep). Also
// finds a free port for a daemon to listen on.
#pragma once

#include <chrono>
#include <string>

namespace zentrel::gateway::testing {

// A port nothing listens on now (bound and released).
int FreePort();

class SnppClient {
 public:
  explicit SnppClient(int port);
  ~SnppClient();
  SnppClient(const SnppClient&) = delete;
  SnppClient& operator=(const SnppClient&) = delete;
  bool Connected() const { return fd_ >= 0; }
  // Sends `bytes`; with `wait` false, only what the socket takes now.
  void SendRaw(const std::string& bytes, bool wait = true);
  // The next reply line without its CRLF; "" on end of connection or time-out.
  std::string Reply(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Sends `line` with CRLF and returns the reply's last line (a 214 run is
  // read to its closing 250).
  std::string Ask(const std::string& line);
  // True when the daemon closed the connection within `limit`.
  bool ClosedWithin(std::chrono::milliseconds limit);

 private:
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace zentrel::gateway::testing
